#pragma once

#include "Table.h"

#include <QString>
#include <functional>

class Database;

// What the structure upgrade shows the user. The caller supplies the
// message box and the cursor, so that the store stays free of widgets.
struct UpgradeHooks {
    std::function<void(const QString& text)> message;
    std::function<void()> waitCursor;    // the database-wait cursor on
    std::function<void()> restoreCursor; // and off again
};

// Brings a register written by an older version to the current structure
// in place: each field that later versions added is appended when missing,
// keeping every row (the new field is empty in them).
class SchemaUpgrade {
public:
    SchemaUpgrade(Database& db, UpgradeHooks hooks);

    // Reads the fields of `table` (a handle used only for this check) and,
    // when it has no field of that name (case ignored; type and size never
    // compared), tells the user and adds it with `sqlType`. Store failures,
    // a table that cannot be read among them, propagate.
    void ensureField(Table& table, const QString& field, const QString& sqlType);

    // The eight checks, in their order, under the register's upgrade lock:
    // clerks starting together upgrade one after another, and the later
    // ones find the fields already added.
    void run();

    // The key of that lock on a server register.
    static constexpr qint64 LockKey = 0x546f6d6272697801; // "Tombrix", 1

private:
    Database& m_db;
    UpgradeHooks m_hooks;
    Table m_catalog;
    Table m_concesionari;
    Table m_persInmormantate;
    Table m_chitante;
};
