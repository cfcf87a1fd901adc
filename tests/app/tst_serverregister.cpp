// The register on a PostgreSQL server (a throwaway one the test starts):
// brought to the current structure once when several clerks start together.
#include "Database.h"
#include "PgServer.h"
#include "TestSupport.h"
#include "Upgrade.h"

#include <QtTest>
#include <atomic>
#include <thread>

class TestServerRegister : public QObject {
    Q_OBJECT
    std::unique_ptr<PgServer> m_server;
    QTemporaryDir m_root;
    int m_serial = 0;

    QString fresh() { return m_server->newDatabase(QStringLiteral("s%1").arg(++m_serial)); }

private slots:
    void initTestCase() {
        m_server = std::make_unique<PgServer>();
        if (!m_server->isRunning())
            QSKIP(qPrintable(QStringLiteral("no test server: ") + m_server->why()));
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
