// Bringing back a daily copy: the list (newest first, damaged copies told
// apart), what a restore loses, the register kept before it, and a register
// that is whole at every moment, also when the restore is killed.
#include "Backup.h"
#include "Database.h"
#include "Restore.h"
#include "StoreError.h"
#include "TestSupport.h"
#include "Values.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

qint64 count(Database& db, const QString& table) {
    return scalarOf(db, QStringLiteral("SELECT count(*) FROM ") + table);
}

void addPlaces(Database& db, int from, int to) {
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %2) INSERT INTO Catalog (Id_Loc, Loc, Nume_Uzufruct, "
                           "Observatii) SELECT i, i, 'Popescu ' || i, printf('%.300c', 'o') FROM n")
                .arg(from)
                .arg(to));
}

// A register in the program directory, with daily copies made on the days
// given, each after `places` places were in it.
struct Fixture {
    TempProgramDir dir;
    QString file = dir.file(QStringLiteral("Tombrix.sqlite"));
    Database db{file};

    Fixture() { db.open(); }
    void copyOn(const QDate& day) { QVERIFY(Backup::run(file, dir.backupBase(), day)); }
    QString copyPath(const QString& stamp) const {
        return dir.backupRoot() + QStringLiteral("/SalvariQuarvenn/") + stamp +
               QStringLiteral("/Tombrix/Tombrix.sqlite");
    }
    QStringList keptCopies() const {
        return QDir(dir.backupRoot() + QStringLiteral("/SalvariQuarvenn"))
            .entryList({QStringLiteral("*-inainte-de-restaurare")}, QDir::Dirs);
    }
    Restore::DailyCopy listed(const QDate& day) const {
        for (const Restore::DailyCopy& c :
             Restore::list(dir.backupBase(), QStringLiteral("Tombrix.sqlite")))
            if (c.day == day)
                return c;
        return {};
    }
};

// Overwrites the middle of a file: the pages of the tables, not the header.
void damage(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    const qint64 size = f.size();
    QVERIFY(size > 8192);
    f.seek(size / 2);
    f.write(QByteArray(4096, '\x5a'));
}

} // namespace

class TestRestore : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Values::setDateLocale(QLocale(QLocale::Romanian, QLocale::Romania)); }

    void listNewestFirstWithDamagedCopiesToldApart() {
        Fixture f;
        addPlaces(f.db, 1, 100);
        f.copyOn(QDate(2024, 3, 4));
        addPlaces(f.db, 101, 150);
        f.copyOn(QDate(2024, 3, 5));
        addPlaces(f.db, 151, 200);
        f.copyOn(QDate(2024, 3, 6));
        f.copyOn(QDate(2024, 3, 7));
        damage(f.copyPath(QStringLiteral("20240306")));
        QFile(f.copyPath(QStringLiteral("20240307"))).resize(0);
        // Not daily copies: the one kept before an import, a stray directory.
        Backup::runBeforeImport(f.file, f.dir.backupBase(), QDateTime({2024, 3, 8}, {9, 0}));
        QDir().mkpath(f.dir.backupRoot() + QStringLiteral("/SalvariQuarvenn/diverse/Tombrix"));

        const QList<Restore::DailyCopy> copies =
            Restore::list(f.dir.backupBase(), QStringLiteral("Tombrix.sqlite"));
        QCOMPARE(copies.size(), 4);
        QCOMPARE(copies.at(0).day, QDate(2024, 3, 7));
        QCOMPARE(copies.at(3).day, QDate(2024, 3, 4));
        QVERIFY(!copies.at(0).intact); // empty
        QVERIFY(!copies.at(1).intact); // damaged pages
        QVERIFY(!copies.at(1).problem.isEmpty());
        QVERIFY(copies.at(2).intact);
        QCOMPARE(copies.at(2).contents.places, 150);
        QCOMPARE(copies.at(3).contents.places, 100);
        QCOMPARE(copies.at(2).size, QFileInfo(f.copyPath(QStringLiteral("20240305"))).size());

        // A damaged copy cannot be restored: nothing is kept or replaced.
        try {
            Restore::run(f.db, copies.at(1), f.dir.backupBase(), QDateTime::currentDateTime());
            QFAIL("a damaged copy was restored");
        } catch (const StoreError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("deteriorata")), qPrintable(e.message()));
        }
        QVERIFY(f.db.isOpen());
        QCOMPARE(count(f.db, QStringLiteral("Catalog")), 200);
        QVERIFY(f.keptCopies().isEmpty());
        QVERIFY(!QFile::exists(Restore::besidePath(f.file)));
    }

    void whatWasTypedAfterTheCopyIsKeptAside() {
        Fixture f;
        addPlaces(f.db, 1, 120);
        f.copyOn(QDate(2024, 3, 5));
        // The clerk goes on typing after the morning's copy.
        addPlaces(f.db, 121, 125);
        f.db.exec(
            QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Suma) VALUES (121, 7, 50)"));
        f.db.exec(QStringLiteral("UPDATE Catalog SET Nume_Uzufruct = 'Ionescu' WHERE Id_Loc = 3"));

        const Restore::DailyCopy copy = f.listed(QDate(2024, 3, 5));
        QVERIFY(copy.intact);
        const QString loss = Restore::lossText(Restore::contentsOf(f.db), copy);
        QVERIFY2(loss.contains(QStringLiteral("05/03/2024")) ||
                     loss.contains(Values::dateToText(QDate(2024, 3, 5))),
                 qPrintable(loss));
        QVERIFY2(loss.contains(QStringLiteral("Registrul are acum: 125 de locuri, 0 concesiuni, "
                                              "0 persoane inmormantate, o chitanta")),
                 qPrintable(loss));
        QVERIFY2(loss.contains(QStringLiteral("Copia are: 120 de locuri")), qPrintable(loss));

        const QString kept = Restore::run(f.db, copy, f.dir.backupBase(),
                                          QDateTime(QDate(2024, 3, 5), QTime(14, 30, 5)));
        QCOMPARE(QDir::fromNativeSeparators(kept),
                 f.dir.backupRoot() +
                     QStringLiteral("/SalvariQuarvenn/20240305-143005-inainte-de-restaurare/"
                                    "Tombrix/Tombrix.sqlite"));
        // The register is the copy, open again on the same Database.
        QVERIFY(f.db.isOpen());
        QCOMPARE(count(f.db, QStringLiteral("Catalog")), 120);
        QCOMPARE(count(f.db, QStringLiteral("Chitante")), 0);
        f.db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Loc) VALUES (500, 'x')"));
        QVERIFY(!QFile::exists(Restore::besidePath(f.file)));
        QVERIFY(!QFile::exists(f.file + QStringLiteral("-journal")));
        // What was typed after the copy is in the kept register, whole.
        const Restore::DailyCopy before = Restore::inspect(kept);
        QVERIFY(before.intact);
        QCOMPARE(before.contents.places, 125);
        QCOMPARE(before.contents.receipts, 1);
        // The kept register is no daily copy: the list does not offer it.
        QCOMPARE(Restore::list(f.dir.backupBase(), QStringLiteral("Tombrix.sqlite")).size(), 1);
    }

    void aKilledRestoreLeavesAWholeRegister() {
        for (int stopAt = 0; stopAt <= 2; ++stopAt) {
            Fixture f;
            addPlaces(f.db, 1, 400);
            f.copyOn(QDate(2024, 3, 5));
            addPlaces(f.db, 401, 450);
            f.db.close();
            QProcess restore;
            restore.start(QStringLiteral(RESTORE_STOPPER),
                          {f.file, f.copyPath(QStringLiteral("20240305")), f.dir.backupBase(),
                           QString::number(stopAt)});
            QVERIFY(restore.waitForStarted(10000));
            QByteArray out;
            while (!out.contains("ready") && restore.waitForReadyRead(20000))
                out += restore.readAllStandardOutput();
            QVERIFY2(out.contains("ready"), restore.readAllStandardError().constData());
            restore.kill();
            QVERIFY(restore.waitForFinished(10000));

            // Before the rename the register is the old one, after it the copy;
            // never a mixture, never damaged.
            const Restore::DailyCopy now = Restore::inspect(f.file);
            QVERIFY2(now.intact, qPrintable(now.problem));
            QCOMPARE(now.contents.places, stopAt < 2 ? 450 : 400);
            QCOMPARE(f.keptCopies().size(), 1);
            QCOMPARE(
                Restore::inspect(QDir(f.dir.backupRoot() + QStringLiteral("/SalvariQuarvenn/") +
                                      f.keptCopies().first())
                                     .filePath(QStringLiteral("Tombrix/Tombrix.sqlite")))
                    .contents.places,
                450);

            // The next restore clears what the stopped one left.
            f.db.open();
            Restore::run(f.db, f.listed(QDate(2024, 3, 5)), f.dir.backupBase(),
                         QDateTime::currentDateTime().addSecs(2));
            QCOMPARE(count(f.db, QStringLiteral("Catalog")), 400);
            QVERIFY(!QFile::exists(Restore::besidePath(f.file)));
        }
    }

    void aRegisterAnotherProgramWritesIsNotReplaced() {
        Fixture f;
        addPlaces(f.db, 1, 50);
        f.copyOn(QDate(2024, 3, 5));
        addPlaces(f.db, 51, 60);
        QProcess writer;
        writer.start(
            QStringLiteral(HOTJOURNAL_WRITER),
            {f.file, QStringLiteral("UPDATE Catalog SET Loc = Loc || 'x' WHERE Id_Loc = 1")});
        QVERIFY(writer.waitForStarted(10000));
        QByteArray out;
        while (!out.contains("ready") && writer.waitForReadyRead(10000))
            out += writer.readAllStandardOutput();
        QVERIFY(out.contains("ready"));
        bool refused = false;
        try {
            Restore::run(f.db, f.listed(QDate(2024, 3, 5)), f.dir.backupBase(),
                         QDateTime::currentDateTime());
        } catch (const StoreError&) {
            refused = true;
        }
        writer.kill();
        QVERIFY(writer.waitForFinished(10000));
        QVERIFY(refused);
        QVERIFY(f.db.isOpen());
        QCOMPARE(count(f.db, QStringLiteral("Catalog")), 60);
        QVERIFY(!QFile::exists(Restore::besidePath(f.file)));
    }
};

QTEST_GUILESS_MAIN(TestRestore)
#include "tst_restore.moc"
