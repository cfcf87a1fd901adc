// The structure upgrade: the missing fields of an older register are added
// one by one, every row kept, the user told once per field, the cursor
// always given back.
#include "Database.h"
#include "StoreError.h"
#include "TestSupport.h"
#include "Upgrade.h"

#include <QCryptographicHash>
#include <QFile>
#include <QtTest>

namespace {

QStringList columns(Database& db, const QString& table) {
    return rowsOf(
        db, QStringLiteral("SELECT name || ' ' || type FROM pragma_table_info('%1')").arg(table));
}

QString tableSql(Database& db, const QString& table) {
    const QStringList sql =
        rowsOf(db, QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(table));
    return sql.isEmpty() ? QString() : sql.first();
}

qint64 count(Database& db, const QString& sql) {
    return scalarOf(db, sql);
}

QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestUpgrade : public QObject {
    Q_OBJECT

    std::unique_ptr<TempProgramDir> m_dir;
    std::unique_ptr<Database> m_db;
    QStringList m_events; // messages and cursor switches, in order

    UpgradeHooks hooks() {
        UpgradeHooks h;
        h.message = [this](const QString& text) { m_events << text; };
        h.waitCursor = [this] { m_events << QStringLiteral("wait"); };
        h.restoreCursor = [this] { m_events << QStringLiteral("restore"); };
        return h;
    }

    void drop(const QString& table, const QString& field) {
        m_db->exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(table, field));
    }

private slots:
    void init() {
        m_dir = std::make_unique<TempProgramDir>();
        m_db = std::make_unique<Database>(m_dir->file(QStringLiteral("Tombrix.sqlite")));
        m_db->open();
        m_db->exec(QStringLiteral(
            "INSERT INTO Catalog (Id_Loc, Loc, Observatii) VALUES (1, '7', 'vechi')"));
        for (int i = 1; i <= 3; ++i)
            m_db->exec(QStringLiteral("INSERT INTO Concesionari (Id_Loc, Nr_concesiune, Strada) "
                                      "VALUES (1, ?, 'Lunga')"),
                       {i});
        m_db->exec(
            QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Suma) VALUES (1, 5, 20)"));
        m_events.clear();
    }
    void cleanup() {
        m_db.reset();
        m_dir.reset();
    }

    void currentRegisterIsLeftAlone() {
        const QString path = m_db->path();
        m_db->close();
        const QByteArray before = fileHash(path);
        m_db->open();
        SchemaUpgrade(*m_db, hooks()).run();
        m_db->close();
        QCOMPARE(m_events, QStringList());
        QCOMPARE(fileHash(path), before);
    }

    void oneMissingFieldIsAddedAlone() {
        drop(QStringLiteral("Concesionari"), QStringLiteral("Localitatea"));
        QStringList others;
        for (const QString& t : {QStringLiteral("Catalog"), QStringLiteral("PersInmormantate"),
                                 QStringLiteral("Chitante"), QStringLiteral("Unitatea")})
            others << tableSql(*m_db, t);

        SchemaUpgrade(*m_db, hooks()).run();

        QCOMPARE(m_events, (QStringList{QStringLiteral("Se actualizeaza structura bazei de date !"),
                                        QStringLiteral("wait"), QStringLiteral("restore")}));
        QCOMPARE(columns(*m_db, QStringLiteral("Concesionari")).last(),
                 QStringLiteral("Localitatea CHAR(30)"));
        QCOMPARE(
            count(*m_db, QStringLiteral("SELECT count(*) FROM Concesionari WHERE Strada = 'Lunga' "
                                        "AND Localitatea IS NULL")),
            3);
        QStringList after;
        for (const QString& t : {QStringLiteral("Catalog"), QStringLiteral("PersInmormantate"),
                                 QStringLiteral("Chitante"), QStringLiteral("Unitatea")})
            after << tableSql(*m_db, t);
        QCOMPARE(after, others);
    }

    void nameDecidesNotCaseTypeOrSize() {
        m_db->exec(QStringLiteral("ALTER TABLE Catalog RENAME COLUMN Observatii TO observatii"));
        drop(QStringLiteral("Concesionari"), QStringLiteral("Localitatea"));
        m_db->exec(QStringLiteral("ALTER TABLE Concesionari ADD LOCALITATEA TEXT"));
        SchemaUpgrade(*m_db, hooks()).run();
        QCOMPARE(m_events, QStringList());
        QVERIFY(columns(*m_db, QStringLiteral("Catalog"))
                    .contains(QStringLiteral("observatii CHAR(255)")));
        QCOMPARE(columns(*m_db, QStringLiteral("Concesionari")).last(),
                 QStringLiteral("LOCALITATEA TEXT"));
    }

    void failuresStopTheChecksAndGiveTheCursorBack() {
        // A statement that fails: another writer added the field between
        // the check and the statement.
        drop(QStringLiteral("Chitante"), QStringLiteral("DStart"));
        drop(QStringLiteral("Catalog"), QStringLiteral("Observatii"));
        UpgradeHooks h = hooks();
        h.message = [this](const QString& text) {
            m_events << text;
            m_db->exec(QStringLiteral("ALTER TABLE Chitante ADD DStart DATE"));
        };
        QVERIFY_THROWS_EXCEPTION(StoreError, SchemaUpgrade(*m_db, h).run());
        QCOMPARE(m_events, (QStringList{QStringLiteral("Se actualizeaza structura bazei de date !"),
                                        QStringLiteral("wait"), QStringLiteral("restore")}));
        QVERIFY(!columns(*m_db, QStringLiteral("Catalog"))
                     .contains(QStringLiteral("Observatii CHAR(255)")));

        // A table that cannot be opened: no message, the earlier checks done,
        // the later ones not run.
        drop(QStringLiteral("PersInmormantate"), QStringLiteral("Serie_CD"));
        m_db->exec(QStringLiteral("DROP TABLE Chitante"));
        m_events.clear();
        QVERIFY_THROWS_EXCEPTION(StoreError, SchemaUpgrade(*m_db, hooks()).run());
        QCOMPARE(m_events.count(QStringLiteral("Se actualizeaza structura bazei de date !")), 1);
        QVERIFY(columns(*m_db, QStringLiteral("PersInmormantate"))
                    .contains(QStringLiteral("Serie_CD CHAR(10)")));
        QVERIFY(!columns(*m_db, QStringLiteral("Catalog"))
                     .contains(QStringLiteral("Observatii CHAR(255)")));
    }
};

QTEST_GUILESS_MAIN(TestUpgrade)
#include "tst_upgrade.moc"
