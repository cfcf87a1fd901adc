#include "ServerBackup.h"

#include "Backup.h"
#include "Database.h"
#include "PgConnection.h"
#include "ServerChoice.h"
#include "StoreError.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <functional>
#include <libpq-fe.h>
#include <utility>

namespace {

QString g_program;

// A dump that has not ended by then waits on a server that no longer answers.
constexpr int kWaitMs = 30 * 60 * 1000;

// The password the program holds for the register: the one the clerk typed,
// else one written in the connection string.
QByteArray heldPassword(Database& db) {
    if (const auto* server = dynamic_cast<const PgConnection*>(&db.connection()))
        if (const QByteArray typed = server->typedPassword(); !typed.isEmpty())
            return typed;
    QByteArray password;
    if (PQconninfoOption* options = PQconninfoParse(db.server().toUtf8().constData(), nullptr)) {
        for (PQconninfoOption* o = options; o->keyword; ++o)
            if (o->val && qstrcmp(o->keyword, "password") == 0)
                password = o->val;
        PQconninfoFree(options);
    }
    return password;
}

QString defaultProgram() {
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
    if (!onPath.isEmpty())
        return onPath;
    // Debian keeps each version's programs apart; the newest reads every
    // older server.
    QStringList versions =
        QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numbers;
    numbers.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numbers);
    for (auto v = versions.crbegin(); v != versions.crend(); ++v) {
        const QString candidate = QStringLiteral("/usr/lib/postgresql/%1/bin/pg_dump").arg(*v);
        if (QFileInfo(candidate).isExecutable())
            return candidate;
    }
    return QStringLiteral("pg_dump");
}

} // namespace

namespace ServerBackup {

QString program() {
    return g_program.isEmpty() ? defaultProgram() : g_program;
}

QString setProgram(const QString& pgDump) {
    return std::exchange(g_program, pgDump);
}

namespace {

// pg_dump of the register into `target`, under a name of its own until
// whole; `failure` makes the StoreError for a reason.
void dumpTo(Database& db, const QString& target,
            const std::function<StoreError(const QString&)>& failure) {
    QString error;
    const QString conninfo = ServerChoice::withoutPassword(db.server(), &error);
    if (conninfo.isEmpty())
        throw failure(error);
    // A name of its own until the dump is whole: a dump cut off half-way
    // never passes for the day's copy.
    const QString partial = target + QStringLiteral(".partial");
    QFile::remove(partial);
    QProcess dump;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (const QByteArray password = heldPassword(db); !password.isEmpty())
        environment.insert(QStringLiteral("PGPASSWORD"), QString::fromUtf8(password));
    dump.setProcessEnvironment(environment);
    dump.setStandardOutputFile(QProcess::nullDevice());
    dump.start(program(),
               {QStringLiteral("--format=custom"), QStringLiteral("--no-password"),
                QStringLiteral("--file=") + partial, QStringLiteral("--dbname=") + conninfo});
    if (!dump.waitForStarted()) {
        QFile::remove(partial);
        throw failure(QStringLiteral("programul %1 nu poate fi pornit; instalati pachetul "
                                     "postgresql-client")
                          .arg(program()));
    }
    if (!dump.waitForFinished(kWaitMs)) {
        dump.kill();
        dump.waitForFinished();
        QFile::remove(partial);
        throw failure(QStringLiteral("pg_dump nu a terminat in 30 de minute"));
    }
    const QString said = QString::fromLocal8Bit(dump.readAllStandardError()).trimmed();
    if (dump.exitStatus() != QProcess::NormalExit || dump.exitCode() != 0) {
        QFile::remove(partial);
        throw failure(said.isEmpty() ? QStringLiteral("pg_dump a esuat") : said);
    }
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw failure(QString());
    }
}

} // namespace

bool run(Database& db, const QString& basePath, const QDate& day) {
    const QString dir = Backup::directory(basePath, day);
    const QString dirPath = QDir::fromNativeSeparators(dir);
    const QString target = QDir(dirPath).filePath(QString::fromLatin1(FileName));
    // Made by an earlier start of the day.
    if (QFileInfo(target).isFile())
        return false;
    const QString where = db.connection().where();
    const auto failure = [&](const QString& why) {
        return StoreError(
            QStringLiteral("Nu pot salva baza de date %1 in directorul %2.").arg(where, dir) +
            (why.isEmpty() ? QString() : QStringLiteral("\n<") + why + QLatin1Char('>')));
    };
    if (!QDir().mkpath(dirPath))
        throw failure(QString());
    // Two starts on this PC at once: one makes the dump, the other leaves it.
    QLockFile lock(target + QStringLiteral(".lock"));
    lock.setStaleLockTime(0); // only a dead holder's lock is stale
    if (!lock.tryLock(0)) {
        if (lock.error() == QLockFile::LockFailedError)
            return false;
        throw failure(QString());
    }
    if (QFileInfo(target).isFile())
        return false;

    dumpTo(db, target, failure);
    return true;
}

QString runBeforeImport(Database& db, const QString& basePath, const QDateTime& now) {
    const QString stamp = now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString dirPath, target;
    // A second copy in the same second gets a directory of its own.
    for (int n = 1; n < 100; ++n) {
        dirPath =
            QDir(Backup::copiesRoot(basePath))
                .filePath(stamp + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) +
                          QStringLiteral("-inainte-de-import/") + Backup::copiesLeaf(basePath));
        target = QDir(dirPath).filePath(QString::fromLatin1(FileName));
        if (!QFileInfo::exists(target))
            break;
    }
    const QString where = db.connection().where();
    const auto failure = [&](const QString& why) {
        return StoreError(
            QStringLiteral("Nu pot salva baza de date %1 in directorul %2.")
                .arg(where, QDir::toNativeSeparators(dirPath)) +
            (why.isEmpty() ? QString() : QStringLiteral("\n<") + why + QLatin1Char('>')));
    };
    if (!QDir().mkpath(dirPath))
        throw failure(QString());
    dumpTo(db, target, failure);
    return QDir::toNativeSeparators(target);
}

} // namespace ServerBackup
