// The register on a PostgreSQL server (a throwaway one the test starts):
// moved there from the file by `tombrix --to-server`, copied by pg_dump on
// the day's first start, and brought to the current structure once when
// several clerks start together.
#include "Backup.h"
#include "CommandLine.h"
#include "Database.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "PgConnection.h"
#include "PgServer.h"
#include "RegisterGenerator.h"
#include "Schema.h"
#include "ServerBackup.h"
#include "TestSupport.h"
#include "Upgrade.h"

#include <QProcess>
#include <QTextStream>
#include <QtTest>
#include <atomic>
#include <thread>

namespace {

int toServer(const QString& conninfo, const QString& programDir, QString* err) {
    QString out;
    QTextStream o(&out), e(err);
    return CommandLine::run({QStringLiteral("tombrix"), QStringLiteral("--to-server"), conninfo},
                            programDir, o, e);
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kTables =
    QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_schema = 'public'");

} // namespace

class TestServerRegister : public QObject {
    Q_OBJECT
    std::unique_ptr<PgServer> m_server;
    QTemporaryDir m_root;
    int m_serial = 0;

    QString fresh() { return m_server->newDatabase(QStringLiteral("s%1").arg(++m_serial)); }
    QString base() const { return m_root.filePath(QStringLiteral("Tombrix")); }
    QString dayDir(const QDate& day) const {
        return QDir::fromNativeSeparators(Backup::directory(base(), day));
    }

private slots:
    void initTestCase() {
        qunsetenv("PGPASSWORD");
        OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1"));
        m_server = std::make_unique<PgServer>();
        if (!m_server->isRunning())
            QSKIP(qPrintable(QStringLiteral("no test server: ") + m_server->why()));
    }

    void movesEveryRowAndLeavesTheFileAsItWas() {
        TempProgramDir prog;
        const QString file = prog.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(file);
            db.open();
            generateRegister(db, 150, 3);
            // Ids with gaps and far apart come over as they are.
            db.exec(QStringLiteral("DELETE FROM Catalog WHERE Id_Loc = 7"));
            db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Nume_Uzufruct) VALUES "
                                   "(90001, 'Ţăranu Ştefan')"));
        }
        const QByteArray before = bytesOf(file);
        const QString conninfo =
            m_server->newDatabase(QStringLiteral("mutat")) + QStringLiteral(" password=ascunsa");
        QString err;
        QCOMPARE(toServer(conninfo, prog.path(), &err), 0);
        QCOMPARE(bytesOf(file), before);
        const QString choice = prog.file(QStringLiteral("Tombrix.conn"));
        QVERIFY(bytesOf(choice).contains("dbname='mutat'") && !bytesOf(choice).contains("pass"));

        Database local(file);
        local.open();
        Database server(file, CommandLine::chosenServer(QString(), prog.path()));
        server.open();
        for (const TableDef& t : Schema::tables()) {
            QStringList fields = {QStringLiteral("rowid")};
            for (const FieldDef& f : t.fields)
                fields << QLatin1Char('"') + f.name + QLatin1Char('"');
            const QString all = QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid")
                                    .arg(fields.join(QLatin1Char(',')), t.name);
            QCOMPARE(rowsOf(server, all), rowsOf(local, all));
        }
        // The server's row ids go on above the copied ones.
        const qint64 last = scalarOf(server, QStringLiteral("SELECT max(rowid) FROM Chitante"));
        QCOMPARE(failureKindOf([&] {
                     server.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc) VALUES (?)"), {1});
                 }),
                 FailureKind(-1));
        QVERIFY(server.connection().lastInsertId() > last);

        // Moved once: a second move into the same database is refused.
        QVERIFY(QFile::remove(choice));
        QCOMPARE(toServer(conninfo, prog.path(), &err), 1);
        QVERIFY2(err.contains(QStringLiteral("Baza de date mutat de pe serverul local contine "
                                             "deja un registru")),
                 qPrintable(err));
        QVERIFY(!QFileInfo::exists(choice));
        QCOMPARE(scalarOf(server, QStringLiteral("SELECT count(*) FROM Catalog")), 150);
    }

    // A value the server's field cannot hold, in the last table copied.
    void aFailureLeavesTheDatabaseEmpty() {
        TempProgramDir prog;
        {
            Database db(prog.file(QStringLiteral("Tombrix.sqlite")));
            db.open();
            db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc) VALUES (1)"));
            db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES (?)"),
                    {QString(40, QLatin1Char('x'))});
        }
        const QString conninfo = m_server->newDatabase(QStringLiteral("esuat"));
        QString err;
        QCOMPARE(toServer(conninfo, prog.path(), &err), 1);
        QVERIFY2(err.startsWith(QStringLiteral("Registrul nu a fost mutat in baza de date esuat "
                                               "de pe serverul local, care a ramas goala. "
                                               "Tabelul Unitatea nu a putut fi copiat")),
                 qPrintable(err));
        QVERIFY(!QFileInfo::exists(prog.file(QStringLiteral("Tombrix.conn"))));
        PgConnection server(conninfo);
        QCOMPARE(scalarOf(server, kTables), 0);
    }

    // No file: the empty register on the server, which the window then
    // opens through Tombrix.conn and dumps once, on the day's first start.
    void withoutAFileTheEmptyRegisterIsMadeOnTheServer() {
        TempProgramDir prog;
        ScriptedPrompts prompts;
        const FixedToday today(QDate(2026, 3, 5));
        QString err;
        QCOMPARE(toServer(m_server->newDatabase(QStringLiteral("gol")), prog.path(), &err), 0);
        QVERIFY(!QFileInfo::exists(prog.file(QStringLiteral("Tombrix.sqlite"))));
        const QString server = CommandLine::chosenServer(QString(), prog.path());
        const QString dump =
            prog.backupRoot() + QStringLiteral("/SalvariQuarvenn/20260305/Tombrix/Tombrix.dump");
        QByteArray made;
        {
            TMainForm form(prog.path(), server);
            QCOMPARE(scalarOf(form.database(), kTables), 5);
            made = bytesOf(dump);
        }
        QCOMPARE(QFileInfo(dump).dir().entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("Tombrix.dump")});
        QProcess list;
        list.start(QFileInfo(ServerBackup::program()).dir().filePath(QStringLiteral("pg_restore")),
                   {QStringLiteral("--list"), dump});
        QVERIFY(list.waitForFinished(60000) && list.exitCode() == 0);
        QVERIFY(list.readAllStandardOutput().contains("TABLE public Catalog"));
        TMainForm again(prog.path(), server);
        QCOMPARE(bytesOf(dump), made);
        QVERIFY2(prompts.shown().isEmpty(), qPrintable(prompts.texts().join('\n')));
    }

    // A pg_dump that fails half-way leaves no file to pass for the day's copy.
    void aFailedDumpLeavesNoFile() {
        Database db(m_root.filePath(QStringLiteral("x")), fresh());
        db.open();
        QTemporaryDir bin;
        const QDate day(2026, 4, 1);
        QFile fake(bin.filePath(QStringLiteral("pg_dump")));
        QVERIFY(fake.open(QIODevice::WriteOnly));
        fake.write("#!/bin/sh\nfor a; do case $a in --file=*) echo PGDMP > \"${a#--file=}\";; "
                   "esac; done\nexit 1\n");
        fake.close();
        fake.setPermissions(fake.permissions() | QFileDevice::ExeOwner);
        const QString real = ServerBackup::setProgram(fake.fileName());
        QVERIFY_THROWS_EXCEPTION(StoreError, ServerBackup::run(db, base(), day));
        QCOMPARE(QDir(dayDir(day)).entryList(QDir::Files | QDir::Hidden), QStringList());
        ServerBackup::setProgram(real);
        QVERIFY(ServerBackup::run(db, base(), day)); // the next start tries again
    }

    // A password the clerk typed reaches pg_dump.
    void aTypedPasswordReachesPgDump() {
        const QString database = fresh();
        if (!m_server->addPasswordUser(QStringLiteral("ana"), QStringLiteral("Parola-7")))
            QSKIP("the server's access rules cannot be changed");
        PgConnection::setPasswordPrompt(
            [](const QString&, const QString&, bool) { return QStringLiteral("Parola-7"); });
        Database db(m_root.filePath(QStringLiteral("x")),
                    m_server->conninfoAs(database, QStringLiteral("ana")));
        db.open();
        PgConnection::setPasswordPrompt(nullptr);
        // pg_dump, which may not ask, connects only with it.
        bool made = false;
        QCOMPARE(failureKindOf([&] { made = ServerBackup::run(db, base(), QDate(2026, 5, 1)); }),
                 FailureKind(-1));
        QVERIFY(made);
    }

    // The first clerk holds the lock while it adds a field; the second
    // waits, then finds the field there and changes nothing.
    void theUpgradeRunsOnceWhenClerksStartTogether() {
        const QString conninfo = fresh();
        Database first(m_root.filePath(QStringLiteral("x")), conninfo);
        first.open();
        first.exec(QStringLiteral("ALTER TABLE \"Catalog\" DROP COLUMN \"Observatii\""));
        first.connection().holdLock(SchemaUpgrade::LockKey);
        QStringList told;
        std::atomic<bool> done = false;
        std::thread second([&] {
            try {
                Database db(m_root.filePath(QStringLiteral("x")), conninfo);
                db.open();
                SchemaUpgrade(db, {[&](const QString& text) { told << text; }, {}, {}}).run();
            } catch (const StoreError& e) {
                told << e.message();
            }
            done = true;
        });
        QTest::qWait(500);
        const bool waited = !done;
        const FailureKind added = failureKindOf([&] {
            first.exec(QStringLiteral("ALTER TABLE \"Catalog\" ADD \"Observatii\" VARCHAR(255)"));
        });
        first.connection().releaseLock(SchemaUpgrade::LockKey);
        second.join();
        QVERIFY(waited);
        QCOMPARE(added, FailureKind(-1));
        QCOMPARE(told, QStringList());

        // A failed upgrade lets the next clerk in.
        first.exec(QStringLiteral("DROP TABLE \"Chitante\""));
        QVERIFY(failureKindOf([&] { SchemaUpgrade(first, {}).run(); }) != FailureKind(-1));
        Database other(m_root.filePath(QStringLiteral("x")), conninfo);
        other.open();
        QCOMPARE(scalarOf(other, QStringLiteral("SELECT pg_try_advisory_lock(%1)::int")
                                     .arg(SchemaUpgrade::LockKey)),
                 1);
    }
};

QTEST_MAIN(TestServerRegister)
#include "tst_serverregister.moc"
