#include "PgServer.h"

#include "PgConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <unistd.h>

PgServer::PgServer() {
    const QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& v : versions)
        if (QFileInfo::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/initdb").arg(v)))
            m_bin = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
    if (m_bin.isEmpty()) {
        m_why = QStringLiteral("PostgreSQL's initdb is not installed");
        return;
    }
    if (!m_dir.isValid()) {
        m_why = QStringLiteral("no temporary directory");
        return;
    }
    m_asPostgres = geteuid() == 0;
    if (m_asPostgres && !run(QStringLiteral("chown"), {QStringLiteral("postgres"), m_dir.path()})) {
        m_why = QStringLiteral("cannot hand the directory to the postgres user");
        return;
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!run(m_bin + QStringLiteral("initdb"),
             {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("tombrix"),
              QStringLiteral("--auth=trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
              QStringLiteral("--no-locale"), QStringLiteral("--no-sync")})) {
        m_why = QStringLiteral("initdb failed");
        return;
    }
    const QString options =
        QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off").arg(m_dir.path());
    if (!run(m_bin + QStringLiteral("pg_ctl"),
             {QStringLiteral("-D"), data, QStringLiteral("-o"), options, QStringLiteral("-l"),
              m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
              QStringLiteral("start")})) {
        m_why = QStringLiteral("pg_ctl could not start the server");
        return;
    }
    m_running = true;
}

PgServer::~PgServer() {
    if (m_running)
        run(m_bin + QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
             QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
}

bool PgServer::run(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (m_asPostgres && program != QLatin1String("chown"))
        p.start(QStringLiteral("runuser"),
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"),
                            program} +
                    args);
    else
        p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("%s", p.readAll().constData());
        return false;
    }
    return true;
}

QString PgServer::conninfo(const QString& database) const {
    return QStringLiteral("host=%1 dbname=%2 user=tombrix").arg(m_dir.path(), database);
}

QString PgServer::newDatabase(const QString& name) {
    PgConnection admin(conninfo(QStringLiteral("postgres")));
    admin.execute(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
    return conninfo(name);
}

QString PgServer::conninfoAs(const QString& database, const QString& user) const {
    return QStringLiteral("host=%1 dbname=%2 user=%3").arg(m_dir.path(), database, user);
}

bool PgServer::addPasswordUser(const QString& user, const QString& password) {
    PgConnection admin(conninfo(QStringLiteral("postgres")));
    admin.execute(
        QStringLiteral("CREATE ROLE \"%1\" LOGIN SUPERUSER PASSWORD '%2'").arg(user, password));
    // The first matching line of pg_hba.conf decides: this user's goes first.
    QFile hba(m_dir.filePath(QStringLiteral("data/pg_hba.conf")));
    if (!hba.open(QIODevice::ReadOnly))
        return false;
    const QByteArray rest = hba.readAll();
    hba.close();
    if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    hba.write("local all " + user.toUtf8() + " scram-sha-256\n" + rest);
    hba.close();
    admin.execute(QStringLiteral("SELECT pg_reload_conf()"));
    return true;
}

void PgServer::addReader(const QString& user, const QString& database) {
    {
        PgConnection admin(conninfo(QStringLiteral("postgres")));
        admin.execute(QStringLiteral("CREATE ROLE \"%1\" LOGIN").arg(user));
    }
    PgConnection owner(conninfo(database));
    owner.execute(
        QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO \"%1\"").arg(user));
}
