#include "Restore.h"

#include "Backup.h"
#include "Database.h"
#include "SqliteConnection.h"
#include "StoreError.h"
#include "StoreFailure.h"
#include "Values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <system_error>

namespace {

// The first value of a one-value query; -1 when it fails.
qint64 scalar(Connection& db, const QString& sql) {
    try {
        Statement st(db, sql);
        return st.step() ? st.integer(0) : -1;
    } catch (const StoreError&) {
        return -1;
    }
}

Restore::Contents countsOf(Connection& db) {
    Restore::Contents c;
    c.places = scalar(db, QStringLiteral("SELECT count(*) FROM Catalog"));
    c.concessions = scalar(db, QStringLiteral("SELECT count(*) FROM Concesionari"));
    c.buried = scalar(db, QStringLiteral("SELECT count(*) FROM PersInmormantate"));
    c.receipts = scalar(db, QStringLiteral("SELECT count(*) FROM Chitante"));
    return c;
}

// The integrity check's verdict: empty when "ok", else its first lines.
QString integrityProblems(Connection& db) {
    QStringList problems;
    try {
        Statement st(db, QStringLiteral("PRAGMA integrity_check(3)"));
        while (st.step()) {
            const QString line = st.text(0);
            if (line != QLatin1String("ok"))
                problems << line;
        }
    } catch (const StoreError& e) {
        problems << e.storeText();
    }
    return problems.join(QStringLiteral("; "));
}

QString dayText(const QDate& day) {
    return Values::dateToText(day);
}

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(QDir::toNativeSeparators(path).toStdU16String());
}

void removeWithJournal(const QString& path) {
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-journal"));
}

// Takes the register's write lock once, from a connection of its own: a
// journal left by a killed run is rolled back now (it must never be applied
// to the file put in its place), and a register another program holds is
// refused before anything is replaced.
void settleRegister(const QString& file) {
    if (!QFileInfo::exists(file))
        return;
    try {
        SqliteConnection db(file, SqliteConnection::Mode::ReadWrite, 2000);
        db.execute(QStringLiteral("BEGIN EXCLUSIVE"));
        db.execute(QStringLiteral("COMMIT"));
    } catch (const StoreError& e) {
        if (e.kind() == FailureKind::Locked)
            throw StoreError(StoreFailure::inUse(file, e.storeText()), FailureKind::Locked);
        // A register too damaged to be locked is still replaced: that is
        // what the copy is for. Its journal goes with it (it is in the kept
        // copy).
    }
}

} // namespace

namespace Restore {

QString besidePath(const QString& registerFile) {
    return registerFile + QStringLiteral(".restaurare");
}

DailyCopy inspect(const QString& path) {
    DailyCopy c;
    const QFileInfo info(path);
    c.path = QDir::toNativeSeparators(path);
    c.size = info.size();
    c.written = info.lastModified();
    if (!info.isFile() || info.size() == 0) {
        c.problem = QStringLiteral("fisierul este gol sau lipseste");
        return c;
    }
    std::unique_ptr<SqliteConnection> db;
    try {
        db = std::make_unique<SqliteConnection>(path, SqliteConnection::Mode::ReadOnly, 2000);
    } catch (const StoreError& e) {
        c.problem = e.storeText();
        return c;
    }
    c.problem = integrityProblems(*db);
    if (c.problem.isEmpty()) {
        c.contents = countsOf(*db);
        if (c.contents.places < 0)
            c.problem = QStringLiteral("nu este o baza de date Tombrix");
    }
    c.intact = c.problem.isEmpty();
    return c;
}

QList<DailyCopy> list(const QString& basePath, const QString& fileName,
                      const std::function<bool(int, int)>& progress) {
    const QDir root(Backup::copiesRoot(basePath));
    const QString leaf = Backup::copiesLeaf(basePath);
    QStringList stamps;
    // The daily directories only: the copies kept before an import or a
    // restore are not daily copies.
    for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (name.size() == 8 && QDate::fromString(name, QStringLiteral("yyyyMMdd")).isValid())
            stamps << name;
    std::sort(stamps.begin(), stamps.end(), std::greater<>());
    QList<DailyCopy> out;
    for (int i = 0; i < stamps.size(); ++i) {
        const QString path =
            root.filePath(stamps.at(i) + QLatin1Char('/') + leaf + QLatin1Char('/') + fileName);
        if (QFileInfo::exists(path)) {
            DailyCopy c = inspect(path);
            c.day = QDate::fromString(stamps.at(i), QStringLiteral("yyyyMMdd"));
            out << c;
        }
        if (progress && !progress(i + 1, int(stamps.size())))
            throw Abort();
    }
    return out;
}

DailyCopy copyOf(const QString& basePath, const QString& fileName, const QDate& day) {
    const QString path = QDir(Backup::copiesRoot(basePath))
                             .filePath(day.toString(QStringLiteral("yyyyMMdd")) + QLatin1Char('/') +
                                       Backup::copiesLeaf(basePath) + QLatin1Char('/') + fileName);
    if (!day.isValid() || !QFileInfo::exists(path))
        return {};
    DailyCopy c = inspect(path);
    c.day = day;
    return c;
}

Contents contentsOf(Database& db) {
    return countsOf(db.connection());
}

QString lossText(const Contents& now, const DailyCopy& copy) {
    const auto counts = [](const Contents& c) {
        return QStringLiteral("%1, %2, %3, %4")
            .arg(Values::countText(c.places, QStringLiteral("un loc"), QStringLiteral("locuri")),
                 Values::countText(c.concessions, QStringLiteral("o concesiune"),
                                   QStringLiteral("concesiuni")),
                 Values::countText(c.buried, QStringLiteral("o persoana inmormantata"),
                                   QStringLiteral("persoane inmormantate")),
                 Values::countText(c.receipts, QStringLiteral("o chitanta"),
                                   QStringLiteral("chitante")));
    };
    QString text =
        QStringLiteral("Registrul va fi inlocuit cu copia zilnica din %1 (facuta la %2). "
                       "Tot ce s-a scris in registru dupa aceea se pierde; ramane doar in copia "
                       "registrului de acum.\n\n")
            .arg(dayText(copy.day),
                 QLocale::c().toString(copy.written, QStringLiteral("dd.MM.yyyy HH:mm")));
    if (now.places >= 0)
        text += QStringLiteral("Registrul are acum: %1.\n").arg(counts(now));
    text += QStringLiteral("Copia are: %1.\n\n").arg(counts(copy.contents));
    text += QStringLiteral("Registrul de acum se pastreaza intai intr-o copie in directorul "
                           "SalvariQuarvenn (...-inainte-de-restaurare). Doriti sa continuati?");
    return text;
}

InUseLock::InUseLock(const QString& registerFile)
    : m_lock(registerFile + QStringLiteral(".in-use")) {
    m_lock.setStaleLockTime(0); // only a dead holder's lock is stale
    m_held = m_lock.tryLock(0);
}

QString InUseLock::refusal(const QString& registerFile) {
    return QStringLiteral("Registrul %1 este deschis si in alt program Tombrix; inchideti-l "
                          "inainte de restaurare")
        .arg(QDir::toNativeSeparators(registerFile));
}

QString run(Database& db, const DailyCopy& chosen, const QString& basePath, const QDateTime& now,
            const std::function<void(Step)>& step) {
    const QString file = db.path();
    // Looked at again: the list may be old, and the file may have changed.
    const DailyCopy copy = inspect(chosen.path);
    if (!copy.intact)
        throw StoreError(QStringLiteral("Copia %1 este deteriorata si nu poate fi restaurata: %2")
                             .arg(copy.path, copy.problem));

    // 1. The register as it stands, whole, where nothing will touch it.
    QString kept;
    if (QFileInfo::exists(file))
        kept = Backup::runBefore(file, basePath, now, QStringLiteral("inainte-de-restaurare"));
    if (step)
        step(Step::KeptCurrent);

    // 2. The copy beside the register, checked there.
    const QString beside = besidePath(file);
    removeWithJournal(beside);
    const StoreError notWritten(
        QStringLiteral("Nu pot scrie copia langa registru (%1); registrul a ramas neschimbat")
            .arg(QDir::toNativeSeparators(beside)));
    if (!Backup::copyRegister(QDir::fromNativeSeparators(copy.path), beside)) {
        removeWithJournal(beside);
        throw notWritten;
    }
    if (!inspect(beside).intact) {
        removeWithJournal(beside);
        throw notWritten;
    }
    if (step)
        step(Step::CopiedBeside);

    // 3. In its place, by one rename; the register is opened again whatever
    // happened, as it now stands.
    const bool wasOpen = db.isOpen();
    db.close();
    try {
        settleRegister(file);
        // A journal still there belongs to the old file (the kept copy
        // holds what it protected) and must never meet the new one.
        QFile::remove(file + QStringLiteral("-journal"));
        std::error_code ec;
        std::filesystem::rename(fsPath(beside), fsPath(file), ec);
        if (ec)
            throw StoreError(QStringLiteral("Nu pot pune copia in locul registrului %1: %2; "
                                            "registrul a ramas neschimbat")
                                 .arg(QDir::toNativeSeparators(file),
                                      QString::fromLocal8Bit(ec.message().c_str())));
    } catch (...) {
        removeWithJournal(beside);
        if (wasOpen)
            db.open();
        throw;
    }
    if (step)
        step(Step::Replaced);
    if (wasOpen)
        db.open();
    return kept;
}

} // namespace Restore
