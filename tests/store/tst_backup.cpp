// The daily copy of the register: one directory per day, a consistent
// image even after a killed writer, and no half copy that looks complete.
#include "Backup.h"
#include "Database.h"
#include "SqliteConnection.h"
#include "StoreError.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {

const QStringList kTables = {QStringLiteral("Catalog"), QStringLiteral("Concesionari"),
                             QStringLiteral("PersInmormantate"), QStringLiteral("Chitante"),
                             QStringLiteral("Unitatea")};

// What a copy holds: SQLite's own verdict and the rows of each table.
struct Image {
    QString integrity;
    QMap<QString, qint64> counts;
};

Image inspect(const QString& path) {
    Image img;
    try {
        SqliteConnection db(path, SqliteConnection::Mode::ReadOnly);
        Statement check(db, QStringLiteral("PRAGMA integrity_check"));
        if (check.step())
            img.integrity = check.text(0);
        for (const QString& t : kTables) {
            const qint64 n = scalarOf(db, QStringLiteral("SELECT count(*) FROM ") + t);
            if (n >= 0)
                img.counts[t] = n;
        }
    } catch (const StoreError&) {
        // Not readable: the image stays empty.
    }
    return img;
}

// A register with rows in every table.
void fill(Database& db) {
    const QString series = QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                          "FROM n WHERE i < %1) ");
    db.exec(series.arg(300) + QStringLiteral("INSERT INTO Catalog (Id_Loc, Loc, Nume_Uzufruct) "
                                             "SELECT i, i, 'Popescu ' || i FROM n"));
    db.exec(series.arg(120) + QStringLiteral("INSERT INTO Concesionari (Id_Loc, Nr_concesiune, "
                                             "Localitatea) SELECT i, i, 'Brasov' FROM n"));
    db.exec(series.arg(80) + QStringLiteral("INSERT INTO PersInmormantate (Id_Loc, Numar, Numele) "
                                            "SELECT i, 1, 'Ion ' || i FROM n"));
    db.exec(series.arg(50) + QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Suma) "
                                            "SELECT i, i, 10 * i FROM n"));
    db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES ('Cimitirul Central')"));
}

QString copyIn(const TempProgramDir& dir, const QString& stamp) {
    return dir.backupRoot() + QStringLiteral("/SalvariQuarvenn/") + stamp +
           QStringLiteral("/Tombrix/Tombrix.sqlite");
}

} // namespace

class TestBackup : public QObject {
    Q_OBJECT
private slots:
    void stampAndDirectory() {
        QCOMPARE(Backup::dateStamp(QDate(2024, 3, 5)), QStringLiteral("20240305"));
        QCOMPARE(Backup::dateStamp(QDate(2025, 12, 31)), QStringLiteral("20251231"));
        QCOMPARE(
            Backup::directory(QStringLiteral("/srv/data/Tombrix"), QDate(2024, 3, 5)),
            QDir::toNativeSeparators(QStringLiteral("/srv/data/SalvariQuarvenn/20240305/Tombrix")));
    }

    void oneCopyPerDay() {
        TempProgramDir dir;
        const QString reg = dir.file(QStringLiteral("Tombrix.sqlite"));
        Database db(reg);
        db.open();
        fill(db);
        const Image original = inspect(reg);
        QCOMPARE(original.counts.value(QStringLiteral("Catalog")), 300);

        // The open connection of the running program does not hinder the copy.
        QVERIFY(Backup::run(reg, dir.backupBase(), QDate(2024, 3, 5)));
        const QString first = copyIn(dir, QStringLiteral("20240305"));
        QCOMPARE(QDir(QFileInfo(first).path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("Tombrix.sqlite")});
        const Image copy = inspect(first);
        QCOMPARE(copy.integrity, QStringLiteral("ok"));
        QCOMPARE(copy.counts, original.counts);

        // Later the same day: nothing is copied, the morning's copy stays.
        db.exec(QStringLiteral("DELETE FROM Catalog"));
        QVERIFY(!Backup::run(reg, dir.backupBase(), QDate(2024, 3, 5)));
        QCOMPARE(inspect(first).counts, original.counts);

        // The next day has a copy of its own; the old one is kept.
        QVERIFY(Backup::run(reg, dir.backupBase(), QDate(2024, 3, 6)));
        QCOMPARE(inspect(copyIn(dir, QStringLiteral("20240306")))
                     .counts.value(QStringLiteral("Catalog")),
                 0);
        QCOMPARE(QDir(dir.backupRoot() + QStringLiteral("/SalvariQuarvenn"))
                     .entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 (QStringList{QStringLiteral("20240305"), QStringLiteral("20240306")}));
        QCOMPARE(inspect(first).counts, original.counts);
    }

    void hotJournalIsRolledBackInTheCopy() {
        TempProgramDir dir;
        const QString reg = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(reg);
            db.open();
            fill(db);
        }
        const Image committed = inspect(reg);

        QProcess writer;
        writer.start(
            QStringLiteral(HOTJOURNAL_WRITER),
            {reg, QStringLiteral("DELETE FROM Catalog WHERE Id_Loc <= 150; "
                                 "UPDATE Concesionari SET Localitatea = 'Sibiu'; "
                                 "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 "
                                 "FROM n WHERE i < 3000) INSERT INTO Catalog (Id_Loc, "
                                 "Observatii) SELECT 1000 + i, printf('%.200c', 'x') FROM n")});
        QVERIFY(writer.waitForStarted(10000));
        QByteArray out;
        while (!out.contains("ready") && writer.waitForReadyRead(10000))
            out += writer.readAllStandardOutput();
        QVERIFY2(out.contains("ready"), writer.readAllStandardError().constData());
        writer.kill(); // SIGKILL: no chance to commit or roll back
        QVERIFY(writer.waitForFinished(10000));
        QVERIFY(QFile::exists(reg + QStringLiteral("-journal")));

        // The file alone now holds uncommitted pages: copying it as it is
        // would not give the register as last committed.
        const QString raw = dir.file(QStringLiteral("raw.sqlite"));
        QVERIFY(QFile::copy(reg, raw));
        const Image plain = inspect(raw);
        QVERIFY(plain.integrity != QStringLiteral("ok") || plain.counts != committed.counts);

        QVERIFY(Backup::run(reg, dir.backupBase(), QDate(2024, 3, 5)));
        const Image copy = inspect(copyIn(dir, QStringLiteral("20240305")));
        QCOMPARE(copy.integrity, QStringLiteral("ok"));
        QCOMPARE(copy.counts, committed.counts);
        QVERIFY(
            !QFile::exists(copyIn(dir, QStringLiteral("20240305")) + QStringLiteral("-journal")));
    }

    void failuresNameTheDirectoryAndLeaveNoCopy() {
        TempProgramDir dir;
        const QString reg = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(reg);
            db.open();
        }
        const QDate day(2024, 3, 5);

        // A root that cannot hold directories (a plain file stands there).
        QFile blocker(dir.file(QStringLiteral("root")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString blockedBase = dir.file(QStringLiteral("root/Tombrix"));
        try {
            Backup::run(reg, blockedBase, day);
            QFAIL("no error");
        } catch (const StoreError& e) {
            QCOMPARE(e.message(), QStringLiteral("Nu pot salva baza de date in directorul ") +
                                      Backup::directory(blockedBase, day));
        }

        // A source that is missing or is no database: the day's directory
        // holds no file that looks like a copy, and the next start that day
        // tries again (and says so again) instead of skipping in silence.
        const auto tryCopy = [&](const QString& source, const QDate& d) {
            QVERIFY_THROWS_EXCEPTION(StoreError, Backup::run(source, dir.backupBase(), d));
            const QDir made(QFileInfo(copyIn(dir, Backup::dateStamp(d))).path());
            QCOMPARE(made.entryList(QDir::Files), QStringList());
            QVERIFY_THROWS_EXCEPTION(StoreError, Backup::run(source, dir.backupBase(), d));
            QCOMPARE(made.entryList(QDir::Files), QStringList());
        };
        tryCopy(dir.file(QStringLiteral("absent.sqlite")), day);
        QFile junk(dir.file(QStringLiteral("junk.sqlite")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'j'));
        junk.close();
        tryCopy(junk.fileName(), day.addDays(1));
        QVERIFY(!QFile::exists(dir.file(QStringLiteral("absent.sqlite"))));
    }

    void aCopyKilledHalfWayIsMadeAgainAtTheNextStart() {
        TempProgramDir dir;
        const QString reg = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(reg);
            db.open();
            fill(db);
        }
        const QDate day(2024, 3, 6);
        // What a copy killed in the middle leaves: the directory, a partial
        // file and its journal.
        const QString target = copyIn(dir, Backup::dateStamp(day));
        QVERIFY(QDir().mkpath(QFileInfo(target).path()));
        for (const QString& left :
             {target + QStringLiteral(".partial"), target + QStringLiteral(".partial-journal")}) {
            QFile f(left);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(1000, 'p'));
        }
        QVERIFY(Backup::run(reg, dir.backupBase(), day));
        QCOMPARE(QDir(QFileInfo(target).path()).entryList(QDir::Files),
                 QStringList{QFileInfo(target).fileName()});
        const Image img = inspect(target);
        QCOMPARE(img.integrity, QStringLiteral("ok"));
        QCOMPARE(img.counts.value(QStringLiteral("Catalog")), 300);
        // Complete now: the next start that day skips.
        QVERIFY(!Backup::run(reg, dir.backupBase(), day));
        QCOMPARE(Backup::latestCopy(dir.backupBase(), QStringLiteral("Tombrix.sqlite")),
                 QDir::toNativeSeparators(target));
    }

    // A copy before an import killed half-way leaves its directory and a
    // partial file; the next start or import clears them, and keeps every
    // complete copy and whatever else the directories hold.
    void importCopiesCutOffAreClearedAtTheNextStartOrImport() {
        TempProgramDir dir;
        const QString reg = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(reg);
            db.open();
            fill(db);
        }
        const QDateTime first(QDate(2024, 3, 6), QTime(10, 0, 0));
        const QString kept = Backup::runBeforeImport(reg, dir.backupBase(), first);
        auto leave = [&](const QString& stamp, bool other) {
            const QString target = copyIn(dir, stamp + QStringLiteral("-inainte-de-import"));
            QDir().mkpath(QFileInfo(target).path());
            QStringList files = {target + QStringLiteral(".partial"),
                                 target + QStringLiteral(".partial-journal")};
            if (other)
                files << QFileInfo(target).path() + QStringLiteral("/nota.txt");
            for (const QString& name : files) {
                QFile f(name);
                f.open(QIODevice::WriteOnly);
                f.write(QByteArray(1000, 'p'));
            }
            return QFileInfo(target).path();
        };
        const QString cut = leave(QStringLiteral("20240306-110000"), false);
        const QString withNote = leave(QStringLiteral("20240306-120000"), true);
        QVERIFY(
            QFile::copy(reg, QFileInfo(kept).path() + QStringLiteral("/Tombrix.sqlite.partial")));
        QVERIFY(Backup::run(reg, dir.backupBase(), QDate(2024, 3, 7)));
        const QString root = dir.backupRoot() + QStringLiteral("/SalvariQuarvenn");
        QVERIFY(!QFileInfo::exists(QFileInfo(cut).path()));
        QCOMPARE(QDir(withNote).entryList(QDir::Files), QStringList{QStringLiteral("nota.txt")});
        QCOMPARE(QDir(QFileInfo(kept).path()).entryList(QDir::Files),
                 QStringList{QStringLiteral("Tombrix.sqlite")});
        QCOMPARE(inspect(QDir::fromNativeSeparators(kept)).counts.value(QStringLiteral("Catalog")),
                 300);

        // A second import in the same second keeps the first one's copy.
        const QString again = Backup::runBeforeImport(reg, dir.backupBase(), first);
        QVERIFY(again != kept);
        QVERIFY(again.contains(QStringLiteral("20240306-100000-2-inainte-de-import")));
        QVERIFY(QFileInfo(QDir::fromNativeSeparators(kept)).isFile());
        QFile::remove(QDir::fromNativeSeparators(again));
        QDir(root).rmpath(QStringLiteral("20240306-100000-2-inainte-de-import/Tombrix"));

        // The same before an import, without a start in between.
        leave(QStringLiteral("20240307-090000"), false);
        Backup::runBeforeImport(reg, dir.backupBase(), first.addDays(1));
        QCOMPARE(QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList({QStringLiteral("20240306-100000-inainte-de-import"),
                              QStringLiteral("20240306-120000-inainte-de-import"),
                              QStringLiteral("20240307"),
                              QStringLiteral("20240307-100000-inainte-de-import")}));
    }

    void latestCopyIsTheNewestCompleteOne() {
        TempProgramDir dir;
        const QString reg = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(reg);
            db.open();
        }
        QCOMPARE(Backup::latestCopy(dir.backupBase(), QStringLiteral("Tombrix.sqlite")), QString());
        QVERIFY(Backup::run(reg, dir.backupBase(), QDate(2023, 12, 31)));
        QVERIFY(Backup::run(reg, dir.backupBase(), QDate(2024, 2, 1)));
        // A newer day whose copy never completed does not count.
        QVERIFY(QDir().mkpath(QFileInfo(copyIn(dir, QStringLiteral("20240301"))).path()));
        QCOMPARE(Backup::latestCopy(dir.backupBase(), QStringLiteral("Tombrix.sqlite")),
                 QDir::toNativeSeparators(copyIn(dir, QStringLiteral("20240201"))));
    }
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
