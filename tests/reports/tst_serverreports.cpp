// The five lists from a register on a PostgreSQL server (started by the
// test) read the same as from the register file holding the same places.
#include "Database.h"
#include "PgServer.h"
#include "RegisterGenerator.h"
#include "ReportFrame.h"
#include "ReportRun.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

class TestServerReports : public QObject {
    Q_OBJECT

    static QString textOf(const QString& pdf) {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

private slots:
    void everyListReadsAsFromTheFile() {
        PgServer server;
        if (!server.isRunning())
            QSKIP(qPrintable(QStringLiteral("no test server: ") + server.why()));
        TempProgramDir dir;
        Database file(dir.file(QStringLiteral("Tombrix.sqlite")));
        file.open();
        generateRegister(file, 400, 7);
        Database onServer(dir.file(QStringLiteral("Tombrix.sqlite")),
                          server.newDatabase(QStringLiteral("liste")));
        onServer.open();
        generateRegister(onServer, 400, 7);

        ReportRequest request;
        request.programDir = dir.path();
        request.from = QDate(2015, 1, 1);
        request.to = QDate(2024, 12, 31);
        for (const ReportKind& kind : reportKinds()) {
            request.date = ReportRun::defaultDate(kind);
            QString texts[2];
            Database* dbs[2] = {&file, &onServer};
            for (int i = 0; i < 2; ++i) {
                const QString pdf =
                    dir.file(kind.name + QString::number(i) + QStringLiteral(".pdf"));
                QString error;
                const auto result = ReportRun::toPdf(kind, *dbs[i], request, pdf, &error);
                QVERIFY2(result == ReportRun::FileResult::Written,
                         qPrintable(kind.name + QLatin1Char(' ') + QString::number(i) +
                                    QLatin1Char(' ') + error));
                texts[i] = textOf(pdf);
            }
            QVERIFY2(texts[0].size() > 200, qPrintable(kind.name));
            if (texts[0] != texts[1]) {
                QFile a(dir.file(QStringLiteral("a.txt"))), b(dir.file(QStringLiteral("b.txt")));
                a.open(QIODevice::WriteOnly);
                a.write(texts[0].toUtf8());
                b.open(QIODevice::WriteOnly);
                b.write(texts[1].toUtf8());
                a.close();
                b.close();
                QProcess diff;
                diff.start(QStringLiteral("diff"), {a.fileName(), b.fileName()});
                diff.waitForFinished();
                QFAIL(qPrintable(kind.name + QLatin1Char('\n') +
                                 QString::fromUtf8(diff.readAllStandardOutput()).left(3000)));
            }
        }
    }
};

QTEST_MAIN(TestServerReports)
#include "tst_serverreports.moc"
