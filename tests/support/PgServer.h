#pragma once

#include <QString>
#include <QTemporaryDir>

// A throwaway PostgreSQL server for the tests: a cluster made by initdb in
// a temporary directory, started by pg_ctl on a Unix socket there (no TCP
// port), stopped and removed with the object. PostgreSQL refuses to run as
// root, so under root (as in CI) the server runs as the "postgres" user.
class PgServer {
public:
    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool isRunning() const { return m_running; }
    // Why the server did not start, for the test's skip message.
    const QString& why() const { return m_why; }
    // The connection string of a new, empty database of that name.
    QString newDatabase(const QString& name);
    QString conninfo(const QString& database) const;
    // The same database as another user.
    QString conninfoAs(const QString& database, const QString& user) const;
    // A login that must give `password` (the others are trusted); false
    // when the server's access rules cannot be changed.
    bool addPasswordUser(const QString& user, const QString& password);
    // A login that may only read the tables of `database`.
    void addReader(const QString& user, const QString& database);

private:
    bool run(const QString& program, const QStringList& args, int timeoutMs = 60000);

    QTemporaryDir m_dir;
    QString m_bin;
    bool m_asPostgres = false;
    bool m_running = false;
    QString m_why;
};
