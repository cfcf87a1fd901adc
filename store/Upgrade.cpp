#include "Upgrade.h"

#include "Database.h"
#include "Query.h"
#include "StoreError.h"

#include <algorithm>

namespace {

// Restores the cursor however the statement ends.
class CursorRestore {
public:
    explicit CursorRestore(const UpgradeHooks& hooks) : m_hooks(hooks) {
        if (m_hooks.waitCursor)
            m_hooks.waitCursor();
    }
    ~CursorRestore() {
        if (m_hooks.restoreCursor)
            m_hooks.restoreCursor();
    }
    CursorRestore(const CursorRestore&) = delete;
    CursorRestore& operator=(const CursorRestore&) = delete;

private:
    const UpgradeHooks& m_hooks;
};

// Holds the upgrade lock while the checks run, however they end.
class UpgradeLock {
public:
    explicit UpgradeLock(Connection& connection) : m_connection(connection) {
        m_connection.holdLock(SchemaUpgrade::LockKey);
    }
    ~UpgradeLock() {
        try {
            m_connection.releaseLock(SchemaUpgrade::LockKey);
        } catch (const StoreError&) {
            // A connection that is gone has let go of its lock.
        }
    }
    UpgradeLock(const UpgradeLock&) = delete;
    UpgradeLock& operator=(const UpgradeLock&) = delete;

private:
    Connection& m_connection;
};

} // namespace

SchemaUpgrade::SchemaUpgrade(Database& db, UpgradeHooks hooks)
    : m_db(db), m_hooks(std::move(hooks)), m_catalog(db), m_concesionari(db),
      m_persInmormantate(db), m_chitante(db) {
    m_catalog.setTableName(QStringLiteral("Catalog.DB"));
    m_concesionari.setTableName(QStringLiteral("Concesionari.DB"));
    m_persInmormantate.setTableName(QStringLiteral("PersInmormantate.DB"));
    m_chitante.setTableName(QStringLiteral("Chitante.DB"));
}

void SchemaUpgrade::ensureField(Table& table, const QString& field, const QString& sqlType) {
    // Only the field list is read: the check costs nothing on a large register.
    table.close();
    const QList<FieldDef> fields = table.storedFields();
    if (std::any_of(fields.cbegin(), fields.cend(), [&](const FieldDef& f) {
            return f.name.compare(field, Qt::CaseInsensitive) == 0;
        }))
        return;

    if (m_hooks.message)
        m_hooks.message(QStringLiteral("Se actualizeaza structura bazei de date !"));
    CursorRestore cursor(m_hooks);
    // On a server a CHAR would pad every text with blanks: texts are
    // VARCHAR there, compared by their bytes, as the tables were made.
    QString type = sqlType;
    if (!m_db.server().isEmpty() && type.startsWith(QLatin1String("CHAR(")))
        type = QStringLiteral("VAR") + type + QStringLiteral(" COLLATE \"C\"");
    Query alter(m_db);
    alter.setSql(
        {QStringLiteral("Alter Table \"%1\" ADD %2 %3").arg(table.tableName(), field, type)});
    alter.exec();
}

void SchemaUpgrade::run() {
    const UpgradeLock lock(m_db.connection());
    ensureField(m_persInmormantate, QStringLiteral("Serie_CD"), QStringLiteral("CHAR(10)"));
    ensureField(m_concesionari, QStringLiteral("Nr_ani_concesiune"), QStringLiteral("INTEGER"));
    ensureField(m_chitante, QStringLiteral("DStart"), QStringLiteral("DATE"));
    ensureField(m_chitante, QStringLiteral("DStop"), QStringLiteral("DATE"));
    ensureField(m_concesionari, QStringLiteral("Observatii"), QStringLiteral("CHAR(255)"));
    ensureField(m_concesionari, QStringLiteral("Act_concesiune"), QStringLiteral("CHAR(100)"));
    ensureField(m_catalog, QStringLiteral("Observatii"), QStringLiteral("CHAR(255)"));
    ensureField(m_concesionari, QStringLiteral("Localitatea"), QStringLiteral("CHAR(30)"));
}
