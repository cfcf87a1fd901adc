#pragma once

#include "Connection.h"

struct sqlite3;

// The register as one SQLite file, through the sqlite3 library the program
// links (never a copy carried by another library): the connection owns its
// handle from open to close.
class SqliteConnection : public Connection {
public:
    enum class Mode { ReadWrite, ReadOnly, Create };

    // Opens the file; StoreError with SQLite's text when it cannot. Writers
    // wait up to `busyMs` for a lock another program holds.
    SqliteConnection(const QString& path, Mode mode, int busyMs = 5000);
    ~SqliteConnection() override;
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    QString where() const override { return m_path; }
    std::unique_ptr<StatementCore> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    qint64 lastInsertId() const override;
    qint64 changes() const override;
    void begin() override;
    qint64 foreignVersion() override;
    QString tableNamed(const QString& name) override;
    QList<QPair<QString, QString>> columns(const QString& table) override;
    QList<IndexDef> indexes(const QString& table) override;
    bool probeWrite(FailureKind* kind, QString* text) override;
    void createTable(const TableDef& table) override;

    // The kind of a SQLite result code, primary or extended.
    static FailureKind classify(int code);
    // The handle, for SQLite's own services (the online backup, a test's
    // progress handler); valid while the connection lives.
    sqlite3* handle() const { return m_db; }

    // Copies a register file page by page with SQLite's online backup: the
    // source is opened for writing, so a journal left by a killed run is
    // rolled back first and the copy holds only committed rows. False when
    // it cannot; a missing source is a failure, not a new empty file.
    static bool copyFile(const QString& from, const QString& to);

    // The failure of the connection's last call, raised as StoreError.
    [[noreturn]] void fail(int code) const;

private:
    QString m_path;
    sqlite3* m_db = nullptr;
};
