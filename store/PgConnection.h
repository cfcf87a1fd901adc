#pragma once

#include "Connection.h"

#include <QHash>
#include <functional>

struct pg_conn;

// The register on a PostgreSQL server, through libpq: the same contract as
// the SQLite file. The program's portable SQL is made the server's here:
// `?`, `?N` and `:name` parameters become `$n`; the register's table and
// field names written bare are quoted in their case (the server would fold
// them); result columns are named as written after AS; an ORDER BY term
// that does not say sorts NULL first, as the file does. Each table carries
// a `rowid` column of its own so that rows are named as on the file, and
// tells the other clerks' connections of its changes (LISTEN/NOTIFY).
class PgConnection : public Connection {
public:
    // Connects with a libpq connection string; StoreError when the server
    // cannot be reached or refuses the clerk.
    explicit PgConnection(const QString& conninfo);
    ~PgConnection() override;
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    QString where() const override { return m_where; }
    std::unique_ptr<StatementCore> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    qint64 lastInsertId() const override { return m_lastInsertId; }
    qint64 changes() const override { return m_changes; }
    void begin() override;
    qint64 foreignVersion() override;
    QString tableNamed(const QString& name) override;
    QList<QPair<QString, QString>> columns(const QString& table) override;
    QList<IndexDef> indexes(const QString& table) override;
    bool probeWrite(FailureKind* kind, QString* text) override;
    void createTable(const TableDef& table) override;
    QString nullsFirst() const override { return QStringLiteral(" NULLS FIRST"); }
    QString sameValue() const override { return QStringLiteral(" IS NOT DISTINCT FROM "); }
    // A session's advisory lock on the server: released by releaseLock(),
    // or by the server when the connection ends.
    void holdLock(qint64 key) override;
    void releaseLock(qint64 key) override;

    // The SQL text made the server's (see above), and the names of the
    // named parameters by position (empty for `?`).
    // With `aliases`, the names written after AS by their lower case.
    static QString numberParameters(const QString& sql, QStringList* names,
                                    QHash<QString, QString>* aliases = nullptr);
    // The kind of a server failure by its SQLSTATE.
    static FailureKind classify(const QByteArray& sqlState, bool connectionOk);

    pg_conn* handle() const { return m_conn; }
    // The connection, connected again first when the server had dropped
    // it; StoreError (ConnectionLost) while the server stays away.
    pg_conn* live();

    // Who asks the clerk for a password libpq has none for: given the
    // register's name, the user and whether the last one was refused,
    // returns the password or a null string to give up. Without one, a
    // missing password fails the connection.
    static void setPasswordPrompt(
        std::function<QString(const QString& where, const QString& user, bool again)> ask);
    // The clerk's message for a connection the server refused or never
    // answered, from libpq's text.
    static QString connectFailure(const QString& server, const QString& database,
                                  const QString& user, const QString& text);
    // Makes every table of the register tell the other clerks' connections
    // when it changes (LISTEN/NOTIFY); tables that do so already are left.
    void ensureNotifications(const QStringList& tables);
    // The password the clerk typed at the prompt for this connection, for
    // the server's own tools run on the clerk's behalf (pg_dump); empty
    // when libpq found one itself or none was needed.
    QByteArray typedPassword() const;
    // Records what the last statement did: rows changed, and the row id an
    // insert gave (negative when it gave none).
    void noteResult(qint64 changes, qint64 insertedId);

private:
    QString serverName() const;
    void startSession();

    pg_conn* m_conn = nullptr;
    QString m_where;
    qint64 m_changes = 0;
    qint64 m_lastInsertId = 0;
    qint64 m_notified = 0;
    bool m_passwordTyped = false;
};
