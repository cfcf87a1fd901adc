// The store under failure: a read that breaks off half-way, a save that is
// refused, texts cut to size, and failures told in words a clerk can act on.
#include "Database.h"
#include "SqliteConnection.h"
#include "StoreError.h"
#include "StoreFailure.h"
#include "Table.h"
#include "TestSupport.h"
#include "Values.h"

#include <QtTest>
#include <sqlite3.h>

namespace {

sqlite3* handleOf(Database& db) {
    return static_cast<SqliteConnection&>(db.connection()).handle();
}

// Counts SQLite's progress calls; past `limit` (when set) it breaks the
// running statement off.
struct Breaker {
    qint64 calls = 0;
    qint64 limit = -1;
    static int callback(void* self) {
        auto* b = static_cast<Breaker*>(self);
        ++b->calls;
        return (b->limit >= 0 && b->calls > b->limit) ? 1 : 0;
    }
};

QString storeFailure(const std::function<void()>& action) {
    try {
        action();
    } catch (const StoreError& e) {
        return e.message();
    }
    return QStringLiteral("<no failure>");
}

} // namespace

class TestStoreFailure : public QObject {
    Q_OBJECT

    TempProgramDir m_dir;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<Table> m_catalog;

    QString path() const { return m_dir.file(QStringLiteral("Tombrix.sqlite")); }

private slots:
    void init() {
        QFile::remove(path());
        m_db = std::make_unique<Database>(path());
        m_db->open();
        // Names run opposite to the ids, so the two orders differ everywhere.
        m_db->exec(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 400) "
            "INSERT INTO Catalog (Id_Loc, Loc, Nume_Uzufruct) "
            "SELECT i, i, printf('Nume %04d', 1000 - i) FROM n"));
        m_catalog = std::make_unique<Table>(*m_db);
        m_catalog->setTableName(QStringLiteral("Catalog.DB"));
        m_catalog->open();
    }
    void cleanup() {
        sqlite3_progress_handler(handleOf(*m_db), 0, nullptr, nullptr);
        m_catalog.reset();
        m_db.reset();
    }

    void orderReadBrokenOffLeavesTheRowsAsTheyWere() {
        Table& t = *m_catalog;
        const QString byName = QStringLiteral("Catalog_Nume");
        // Measure what choosing the order costs, then break it off near the
        // end, inside the read of the new order.
        Breaker b;
        sqlite3_progress_handler(handleOf(*m_db), 1, &Breaker::callback, &b);
        t.setIndexName(byName);
        const qint64 whole = b.calls;
        sqlite3_progress_handler(handleOf(*m_db), 0, nullptr, nullptr);
        t.setIndexName(QString());
        QVERIFY2(whole > 1200, qPrintable(QString::number(whole)));

        b = Breaker();
        b.limit = whole - 400; // a few steps per row: well inside the read
        sqlite3_progress_handler(handleOf(*m_db), 1, &Breaker::callback, &b);
        QVERIFY(storeFailure([&] { t.setIndexName(byName); }) != QStringLiteral("<no failure>"));
        sqlite3_progress_handler(handleOf(*m_db), 0, nullptr, nullptr);

        QCOMPARE(t.indexName(), QString());
        QCOMPARE(t.recordCount(), 400);
        for (int row = 0; row < 400; row += 37)
            QCOMPARE(t.valueAt(row, t.fieldIndex(QStringLiteral("Id_Loc"))).toDouble(),
                     double(row + 1));
        t.last();
        QCOMPARE(t.value(QStringLiteral("Id_Loc")).toDouble(), 400.0);
        // And the order can still be chosen once the store works again.
        t.setIndexName(byName);
        t.first();
        QCOMPARE(t.value(QStringLiteral("Id_Loc")).toDouble(), 400.0);
    }

    void orderChangesOnlyAfterThePendingRowIsSaved() {
        Table& t = *m_catalog;
        m_db->exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON Catalog "
                                  "BEGIN SELECT RAISE(ABORT, 'refuzat'); END"));
        t.moveTo(5);
        t.edit();
        t.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Altul"));
        QVERIFY(storeFailure([&] {
                    t.setIndexName(QStringLiteral("Catalog_Nume"));
                }).contains(QStringLiteral("refuzat")));
        QCOMPARE(t.indexName(), QString());
        QVERIFY(t.isEditing());
        QCOMPARE(t.value(QStringLiteral("Nume_Uzufruct")).toString(), QStringLiteral("Altul"));
        // Once saved, the new order comes in full.
        m_db->exec(QStringLiteral("DROP TRIGGER refuse"));
        t.setIndexName(QStringLiteral("Catalog_Nume"));
        QVERIFY(!t.isEditing());
        t.first();
        QCOMPARE(t.value(QStringLiteral("Nume_Uzufruct")).toString(), QStringLiteral("Altul"));
    }

    void textsAreCutOnWholeCharacters() {
        const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");
        QCOMPARE(Values::cutText(QString(49, QLatin1Char('A')) + smile, 50),
                 QString(49, QLatin1Char('A')));
        QCOMPARE(Values::cutText(QString(48, QLatin1Char('A')) + smile + QStringLiteral("B"), 50),
                 QString(48, QLatin1Char('A')) + smile);
        QCOMPARE(Values::cutText(QStringLiteral("abc"), 0), QStringLiteral("abc"));

        Table& t = *m_catalog;
        t.first();
        t.edit();
        t.setValue(QStringLiteral("Nume_Uzufruct"), QString(49, QLatin1Char('A')) + smile);
        t.setValue(QStringLiteral("Observatii"), QStringLiteral("ok"));
        t.post();
        // Valid UTF-8: the half character is left out, not stored.
        QCOMPARE(valueOf(*m_db,
                         QStringLiteral("SELECT hex(Nume_Uzufruct) FROM Catalog WHERE Id_Loc = 1"))
                     .toString(),
                 QStringLiteral("41").repeated(49));
    }

    void writeFailuresAreToldInRomanianWithTheFileAndTheStoreText() {
        Table& t = *m_catalog;
        const QString file = QDir::toNativeSeparators(path());
        const auto saveOne = [&] {
            t.first();
            t.edit();
            t.setValue(QStringLiteral("Observatii"), QStringLiteral("x"));
            t.post();
        };

        // Another program holds the file.
        sqlite3_busy_timeout(handleOf(*m_db), 0);
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(path().toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
        QString msg = storeFailure(saveOne);
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(msg.startsWith(QStringLiteral("Baza de date ") + file +
                                QStringLiteral(" este folosita de alt program")),
                 qPrintable(msg));
        QVERIFY2(msg.contains(QStringLiteral("<database is locked")), qPrintable(msg));
        t.cancel();

        // Read-only.
        m_db->exec(QStringLiteral("PRAGMA query_only = 1"));
        msg = storeFailure(saveOne);
        m_db->exec(QStringLiteral("PRAGMA query_only = 0"));
        QVERIFY2(msg.contains(QStringLiteral("nu poate fi scrisa")) && msg.contains(file) &&
                     msg.contains(QStringLiteral("<attempt to write a readonly database")),
                 qPrintable(msg));
        t.cancel();

        // Full: the file may not grow by another page.
        const qint64 pages = scalarOf(*m_db, QStringLiteral("PRAGMA page_count"));
        QVERIFY(pages > 0);
        m_db->exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
        msg = storeFailure([&] {
            t.last();
            t.edit();
            t.setValue(QStringLiteral("Observatii"), QString(3000, QLatin1Char('z')));
            t.post();
            for (int i = 0; i < 50; ++i) {
                t.append();
                t.setValue(QStringLiteral("Id_Loc"), 1000 + i);
                t.setValue(QStringLiteral("Observatii"), QString(3000, QLatin1Char('z')));
                t.post();
            }
        });
        QVERIFY2(msg.startsWith(QStringLiteral("Discul pe care se afla baza de date ") + file) &&
                     msg.contains(QStringLiteral("<database or disk is full")),
                 qPrintable(msg));
        t.cancel();

        // Damaged pages are reported by their result code.
        msg = StoreFailure::describe(path(), SqliteConnection::classify(SQLITE_CORRUPT),
                                     QStringLiteral("database disk image is malformed"));
        QVERIFY(msg.contains(QStringLiteral("este deteriorata")) && msg.contains(file) &&
                msg.endsWith(QStringLiteral("<database disk image is malformed>")));
        // A rule of the file (a trigger, a constraint) keeps its own text.
        QCOMPARE(StoreFailure::describe(path(), SqliteConnection::classify(SQLITE_CONSTRAINT),
                                        QStringLiteral("refuzat")),
                 QStringLiteral("refuzat"));
    }

    void aRegisterHeldByAnotherProgramIsSaidToBeInUse() {
        cleanup();
        sqlite3* other = nullptr;
        QCOMPARE(sqlite3_open(path().toUtf8().constData(), &other), SQLITE_OK);
        QCOMPARE(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
        Database db(path());
        const QString msg = storeFailure([&] { db.open(); });
        sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(other);
        QVERIFY2(msg.contains(QStringLiteral("este folosita de alt program")), qPrintable(msg));
        QVERIFY2(!msg.contains(QStringLiteral("nu este o baza de date")), qPrintable(msg));
        // The file was not touched: it opens once the other program is done.
        db.open();
        QVERIFY(db.isOpen());
        db.close();
        init();
    }
};

QTEST_GUILESS_MAIN(TestStoreFailure)
#include "tst_storefailure.moc"
