#include "Backup.h"

#include "Database.h"
#include "SqliteConnection.h"
#include "StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <functional>
#include <memory>
#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

QString g_basePath;

// The register copied page by page through SQLite. Opening the source
// read-write lets SQLite roll back a journal left by a run that was killed
// in the middle of a write, so the copy holds only committed data.
bool copyPages(const QString& from, const QString& to) {
    return SqliteConnection::copyFile(from, to);
}

void removeCopy(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

QString effectiveBase(const QString& basePath) {
#ifdef Q_OS_WIN
    // The drive root is the base path's first three characters ("D:\").
    const std::wstring root = basePath.left(3).toStdWString();
    if (GetDriveTypeW(root.c_str()) == DRIVE_CDROM)
        return QStringLiteral("C:\\Tombrix");
#endif
    return basePath;
}

} // namespace

namespace Backup {

QString defaultBasePath() {
    if (!g_basePath.isEmpty())
        return g_basePath;
#ifdef Q_OS_WIN
    return QStringLiteral("D:\\Tombrix");
#else
    return QDir::homePath() + QStringLiteral("/Tombrix");
#endif
}

QString setDefaultBasePath(const QString& basePath) {
    return std::exchange(g_basePath, basePath);
}

QString dateStamp(const QDate& day) {
    return QString::number(day.year()) + QStringLiteral("%1%2")
                                             .arg(day.month(), 2, 10, QLatin1Char('0'))
                                             .arg(day.day(), 2, 10, QLatin1Char('0'));
}

QString directory(const QString& basePath, const QDate& day) {
    const QFileInfo base(QDir::fromNativeSeparators(effectiveBase(basePath)));
    const QString dir = QDir(base.path())
                            .filePath(QStringLiteral("SalvariQuarvenn/") + dateStamp(day) +
                                      QLatin1Char('/') + base.fileName());
    return QDir::toNativeSeparators(dir);
}

void removeUnfinishedCopies(const QString& basePath) {
    const QFileInfo base(QDir::fromNativeSeparators(effectiveBase(basePath)));
    const QDir root(QDir(base.path()).filePath(QStringLiteral("SalvariQuarvenn")));
    const QStringList dirs = root.entryList(
        {QStringLiteral("*-inainte-de-import"), QStringLiteral("*-inainte-de-restaurare")},
        QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const QString& name : dirs) {
        QDir leaf(root.filePath(name + QLatin1Char('/') + base.fileName()));
        const QStringList partials =
            leaf.entryList({QStringLiteral("*.partial"), QStringLiteral("*.partial-journal")},
                           QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& f : partials)
            leaf.remove(f);
        // Only empty directories go: a complete copy, or anything else put
        // there, keeps its directory.
        QDir(root).rmdir(name + QLatin1Char('/') + base.fileName());
        QDir(root).rmdir(name);
    }
}

bool run(const QString& sourceFile, const QString& basePath, const QDate& day) {
    // Copies of earlier imports killed half-way are cleared at each start.
    removeUnfinishedCopies(basePath);
    const QString dir = directory(basePath, day);
    const QString dirPath = QDir::fromNativeSeparators(dir);
    const QString target = QDir(dirPath).filePath(QFileInfo(sourceFile).fileName());
    // The day's copy is made once it stands under its final name; a
    // directory left by a failed or killed copy is tried again.
    if (QFileInfo(target).isFile())
        return false;
    const StoreError failure(QStringLiteral("Nu pot salva baza de date in directorul ") + dir);
    if (!QDir().mkpath(dirPath))
        throw failure;
    // Written under a temporary name and renamed when complete, so that a
    // failed copy never looks like a good one.
    const QString partial = target + QStringLiteral(".partial");
    removeCopy(partial);
    if (!copyPages(sourceFile, partial) || !QFile::rename(partial, target)) {
        removeCopy(partial);
        throw failure;
    }
    return true;
}

QString latestCopy(const QString& basePath, const QString& fileName) {
    const QFileInfo base(QDir::fromNativeSeparators(effectiveBase(basePath)));
    QDir days(QDir(base.path()).filePath(QStringLiteral("SalvariQuarvenn")));
    QStringList stamps = days.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    // Eight-digit stamps sort by date as text; newest first.
    std::sort(stamps.begin(), stamps.end(), std::greater<>());
    for (const QString& stamp : std::as_const(stamps)) {
        const QString copy =
            days.filePath(stamp + QLatin1Char('/') + base.fileName() + QLatin1Char('/') + fileName);
        if (QFileInfo(copy).isFile() && QFileInfo(copy).size() > 0)
            return QDir::toNativeSeparators(copy);
    }
    return {};
}

void verify(const QString& sourceFile, Database& db, const QString& basePath) {
    const QString name = QDir::toNativeSeparators(sourceFile);
    const QString latest = latestCopy(basePath, QFileInfo(sourceFile).fileName());
    const QString restore =
        latest.isEmpty()
            ? QStringLiteral("Nu exista nicio copie zilnica a ei.")
            : QStringLiteral("Ultima copie zilnica buna este %1; restaurati-o din meniul "
                             "Sistem, \"Restaureaza o copie zilnica...\", sau cu "
                             "tombrix --restore AAAALLZZ.")
                  .arg(latest);
    const QString untouched =
        QStringLiteral("Nu a fost salvata si nu a fost deschisa pentru editare. ");
    const auto tables = [&] {
        try {
            return db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master")).toLongLong();
        } catch (const StoreError&) {
            return qlonglong(-1); // the check below says what is wrong
        }
    };
    const bool empty = QFileInfo(sourceFile).size() == 0 || tables() == 0;
    if (empty)
        throw StoreError(QStringLiteral("Baza de date %1 este goala. ").arg(name) + untouched +
                         restore);
    QStringList problems;
    try {
        Statement check = db.prepare(QStringLiteral("PRAGMA quick_check"));
        while (check.step() && problems.size() < 3) {
            const QString line = check.text(0);
            if (line != QLatin1String("ok"))
                problems << line;
        }
    } catch (const StoreError& e) {
        problems << (e.storeText().isEmpty() ? e.message() : e.storeText());
    }
    if (!problems.isEmpty())
        throw StoreError(QStringLiteral("Baza de date %1 este deteriorata. ").arg(name) +
                         untouched + restore + QStringLiteral("\n<") +
                         problems.join(QStringLiteral("; ")) + QLatin1Char('>'));
}

QString runBeforeImport(const QString& sourceFile, const QString& basePath, const QDateTime& now) {
    removeUnfinishedCopies(basePath);
    return runBefore(sourceFile, basePath, now, QStringLiteral("inainte-de-import"));
}

QString runBefore(const QString& sourceFile, const QString& basePath, const QDateTime& now,
                  const QString& what) {
    const QFileInfo base(QDir::fromNativeSeparators(effectiveBase(basePath)));
    const QString stamp = QStringLiteral("SalvariQuarvenn/") + dateStamp(now.date()) +
                          QLatin1Char('-') + now.time().toString(QStringLiteral("HHmmss"));
    // A second copy in the same second gets a directory of its own
    // ("...-2-inainte-de-import"): the first one's copy is never replaced.
    QString dirPath;
    QString target;
    for (int n = 1; n < 100; ++n) {
        dirPath = QDir(base.path())
                      .filePath(stamp + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) +
                                QLatin1Char('-') + what + QLatin1Char('/') + base.fileName());
        target = QDir(dirPath).filePath(QFileInfo(sourceFile).fileName());
        if (!QFileInfo::exists(target))
            break;
    }
    const StoreError failure(QStringLiteral("Nu pot salva baza de date in directorul ") +
                             QDir::toNativeSeparators(dirPath));
    if (!QDir().mkpath(dirPath))
        throw failure;
    const QString partial = target + QStringLiteral(".partial");
    removeCopy(partial);
    // A register SQLite can no longer read (what a restore mends) is kept
    // as the bytes it is.
    const auto copied = [&] {
        if (copyPages(sourceFile, partial))
            return true;
        removeCopy(partial);
        return QFile::copy(sourceFile, partial);
    };
    if (QFileInfo::exists(target) || !copied() || !QFile::rename(partial, target)) {
        removeCopy(partial);
        throw failure;
    }
    return QDir::toNativeSeparators(target);
}

QString copiesRoot(const QString& basePath) {
    const QFileInfo base(QDir::fromNativeSeparators(effectiveBase(basePath)));
    return QDir(base.path()).filePath(QStringLiteral("SalvariQuarvenn"));
}

QString copiesLeaf(const QString& basePath) {
    return QFileInfo(QDir::fromNativeSeparators(effectiveBase(basePath))).fileName();
}

bool copyRegister(const QString& from, const QString& to) {
    return copyPages(from, to);
}

} // namespace Backup
