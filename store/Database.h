#pragma once

#include "Connection.h"
#include "Statement.h"

#include <QHash>
#include <QString>
#include <QVariantList>
#include <memory>

// The register and its one connection. Every table and query object of a
// run works through the same Database, which keeps what is common to every
// engine: the transaction depth with its savepoints, the writability found
// at open, and the change counters the tables check their kept rows by.
class Database {
public:
    static constexpr const char* FileName = "Tombrix.sqlite";

    // The register file at `path`; with `server` (a libpq connection
    // string, never holding a password) the register on that PostgreSQL
    // server instead, and `path` only names the program's own files.
    explicit Database(QString path, QString server = QString());
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the register file. A missing file is a fresh installation: the
    // empty register is built beside it and moved into place only when
    // complete. An existing file is never recreated or overwritten.
    void open();
    void close();
    bool isOpen() const { return m_connection != nullptr; }
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
    // The server's connection string; empty for the file.
    const QString& server() const { return m_server; }
    // The open connection; StoreError when the register is not open.
    Connection& connection() const;
    // Prepares a statement on the connection.
    Statement prepare(const QString& sql) const { return Statement(connection(), sql); }

    // The stored name of a table given by its file name ("Catalog.DB",
    // "persinmormantate.db"), matched without regard to case.
    QString resolveTable(const QString& fileName) const;

    // Runs a statement without result; failures raise StoreError. Without
    // values it may be several statements.
    void exec(const QString& sql, const QVariantList& binds = {});
    // The first column of the first row; a null QVariant when no row.
    QVariant scalar(const QString& sql, const QVariantList& binds = {});

    // Transactions; nested calls become savepoints.
    void begin();
    void commit();
    void rollback();
    int transactionDepth() const { return m_depth; }

    // Change counters that let table objects know their cached rows are
    // stale: bumped by every write through this connection, and by writes
    // of other connections to the file.
    quint64 changeStamp(const QString& table);
    void noteChange(const QString& table);
    void noteChangeAll();

    // Whether another connection (a clerk on the server, another program on
    // the file) saved something since the last look; the kept rows are then
    // stale. Cheap enough for a timer.
    bool checkExternal();

private:
    void openServer();
    void probeWritable();

    QString m_path;
    QString m_server;
    std::unique_ptr<Connection> m_connection;
    bool m_createdFresh = false;
    QString m_readOnlyReason;
    int m_depth = 0;
    qint64 m_foreignVersion = -1;
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
