#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

struct sqlite3;

// The register's SQLite file and its one connection. Every table and query
// object of a run works through the same Database.
class Database {
public:
    static constexpr const char* FileName = "Tombrix.sqlite";

    explicit Database(QString path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the register file. A missing file is a fresh installation: the
    // empty register is built beside it and moved into place only when
    // complete. An existing file is never recreated or overwritten.
    void open();
    void close();
    bool isOpen() const { return m_open; }
    // True when open() found no file and created the empty register.
    bool createdFresh() const { return m_createdFresh; }
    // Whether the register can be written, found by open() with a write
    // that is undone at once: a read-only file or directory shows at the
    // start, not at the first save of a row typed in full.
    bool writable() const { return m_readOnlyReason.isEmpty(); }
    // Why it cannot be written, told the clerk's way; empty when it can.
    const QString& readOnlyReason() const { return m_readOnlyReason; }
    // Opens the registers of this process through read-only connections,
    // as a read-only medium does for any user: lets a test running with
    // every permission see what a clerk without write rights sees.
    static void setOpenReadOnly(bool on);

    const QString& path() const { return m_path; }
    QSqlDatabase connection() const;
    // The connection's own SQLite handle, for reading many rows without the
    // per-value cost of the generic SQL layer; StoreError when not open.
    sqlite3* sqliteHandle() const;

    // The stored name of a table given by its file name ("Catalog.DB",
    // "persinmormantate.db"), matched without regard to case.
    QString resolveTable(const QString& fileName) const;

    // Runs a statement without result; failures raise StoreError.
    void exec(const QString& sql, const QVariantList& binds = {});

    // Transactions; nested calls become savepoints.
    void begin();
    void commit();
    void rollback();
    int transactionDepth() const { return m_depth; }

    // Change counters that let table objects know their cached rows are
    // stale: bumped by every write through this connection, and by writes
    // of other connections to the file (SQLite's data_version).
    quint64 changeStamp(const QString& table);
    void noteChange(const QString& table);
    void noteChangeAll();

private:
    void checkExternal();
    void probeWritable();

    QString m_path;
    QString m_connectionName;
    bool m_open = false;
    bool m_createdFresh = false;
    QString m_readOnlyReason;
    int m_depth = 0;
    qint64 m_dataVersion = -1;
    quint64 m_counter = 0;
    quint64 m_allStamp = 0;
    QList<quint64> m_txCounters; // change counter at each open transaction level
    QHash<QString, quint64> m_stamps;
};

// Opens a transaction and rolls it back unless commit() was called.
class Transaction {
public:
    explicit Transaction(Database& db) : m_db(db) { m_db.begin(); }
    ~Transaction();
    void commit();

private:
    Database& m_db;
    bool m_done = false;
};
