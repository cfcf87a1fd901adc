// The register on a PostgreSQL server (a throwaway one the test starts):
// copied by pg_dump on the day's first start, and brought to the current
// structure once when several clerks start together.
#include "Backup.h"
#include "Database.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "PgConnection.h"
#include "PgServer.h"
#include "ServerBackup.h"
#include "TestSupport.h"
#include "Upgrade.h"

#include <QProcess>
#include <QtTest>
#include <atomic>
#include <thread>

namespace {

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

    // The day's first start dumps the register on the server, whole;
    // later starts that day leave the dump as it is.
    void theWindowDumpsTheRegisterOnceADay() {
        TempProgramDir prog;
        ScriptedPrompts prompts;
        const FixedToday today(QDate(2026, 3, 5));
        const QString server = m_server->newDatabase(QStringLiteral("gol"));
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
