// The system's failures reach the clerk in Romanian.
#include "SystemError.h"
#include "TestSupport.h"

#include <QFile>
#include <QtTest>
#include <cerrno>

class TestSystemError : public QObject {
    Q_OBJECT

private slots:
    void theFailuresAClerkMeetsAreToldInRomanian() {
        QCOMPARE(SystemError::text(ENOSPC), QStringLiteral("discul este plin"));
        QCOMPARE(SystemError::text(EROFS), QStringLiteral("discul este doar pentru citire"));
        QVERIFY(SystemError::text(12345).contains(QStringLiteral("12345")));
        // As Qt words them, alone or after its own words.
        QCOMPARE(SystemError::romanian(QStringLiteral("Read-only file system")),
                 QStringLiteral("discul este doar pentru citire"));
        QCOMPARE(SystemError::romanian(QStringLiteral("No space left on device")),
                 QStringLiteral("discul este plin"));
        QCOMPARE(SystemError::romanian(QStringLiteral("Unknown error")),
                 QStringLiteral("eroare necunoscuta a sistemului"));
        QCOMPARE(SystemError::romanian(QStringLiteral("ceva anume")), QStringLiteral("ceva anume"));

        // A real failure, as Qt reports it.
        TempProgramDir dir;
        QFile f(dir.file(QStringLiteral("nu/exista/lista.pdf")));
        QVERIFY(!f.open(QIODevice::WriteOnly));
        QCOMPARE(SystemError::romanian(f.errorString()),
                 QStringLiteral("fisierul sau directorul nu exista"));
    }
};

QTEST_GUILESS_MAIN(TestSystemError)
#include "tst_systemerror.moc"
