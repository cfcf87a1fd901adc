#include "Database.h"

#include "Schema.h"
#include "StoreError.h"
#include "StoreFailure.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

namespace {

QAtomicInt g_connectionCounter;
bool g_openReadOnly = false;

QString nextConnectionName() {
    return QStringLiteral("tombrix-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1));
}

void throwIfError(const QString& path, const QSqlQuery& q) {
    if (q.lastError().isValid())
        throw StoreFailure::error(path, q.lastError());
}

// Builds the empty register at tempPath; the caller moves it into place.
void buildFresh(const QString& tempPath) {
    const QString name = nextConnectionName();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(tempPath);
        if (!db.open())
            throw StoreError(db.lastError().text());
        try {
            Schema::createTables(db);
        } catch (...) {
            db.close();
            throw;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace

Database::Database(QString path)
    : m_path(std::move(path)), m_connectionName(nextConnectionName()) {}

Database::~Database() {
    close();
}

QSqlDatabase Database::connection() const {
    return QSqlDatabase::database(m_connectionName, false);
}

sqlite3* Database::sqliteHandle() const {
    if (m_open) {
        const QVariant h = connection().driver()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3*") == 0)
            if (sqlite3* handle = *static_cast<sqlite3* const*>(h.data()))
                return handle;
    }
    throw StoreError(QStringLiteral("Baza de date nu este deschisa"));
}

void Database::open() {
    if (m_open)
        return;
    m_createdFresh = false;
    const QFileInfo info(m_path);
    if (!info.exists()) {
        const QString temp = m_path + QStringLiteral(".new");
        QFile::remove(temp);
        try {
            buildFresh(temp);
        } catch (const StoreError& e) {
            QFile::remove(temp);
            throw StoreError(QStringLiteral("Nu pot crea baza de date %1: %2")
                                 .arg(QDir::toNativeSeparators(m_path), e.message()));
        }
        if (!QFile::rename(temp, m_path)) {
            QFile::remove(temp);
            throw StoreError(QStringLiteral("Nu pot crea baza de date %1")
                                 .arg(QDir::toNativeSeparators(m_path)));
        }
        m_createdFresh = true;
    } else if (!info.isFile()) {
        throw StoreError(
            QStringLiteral("%1 nu este un fisier").arg(QDir::toNativeSeparators(m_path)));
    }

    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        db.setDatabaseName(m_path);
        db.setConnectOptions(g_openReadOnly
                                 ? QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000;QSQLITE_OPEN_READONLY")
                                 : QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            const QString msg = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            throw StoreError(msg);
        }
        // Reading the catalogue is the first thing that fails on a file that
        // is not a database; nothing is written to it before this check.
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            const QString msg = q.lastError().text();
            const int code = StoreFailure::codeOf(q.lastError()) & 0xff;
            q = QSqlQuery();
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_connectionName);
            // A good register held by another program must not look like a
            // foreign file: the clerk might replace it.
            if (code == SQLITE_BUSY || code == SQLITE_LOCKED)
                throw StoreError(StoreFailure::inUse(m_path, msg));
            throw StoreError(QStringLiteral("Fisierul %1 nu este o baza de date Tombrix: %2")
                                 .arg(QDir::toNativeSeparators(m_path), msg));
        }
    }
    m_open = true;
    m_depth = 0;
    m_dataVersion = -1;
    checkExternal();
    probeWritable();
}

void Database::setOpenReadOnly(bool on) {
    g_openReadOnly = on;
}

void Database::probeWritable() {
    m_readOnlyReason.clear();
    QSqlQuery q(connection());
    // Rewriting the header's own version number needs the lock, the journal
    // beside the file and a page written: everything a save needs. It is
    // undone at once, so the file is left as it was.
    int code = SQLITE_OK;
    QString storeText;
    if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        code = StoreFailure::codeOf(q.lastError());
        storeText = q.lastError().text();
    } else {
        qint64 version = 0;
        if (q.exec(QStringLiteral("PRAGMA user_version")) && q.next())
            version = q.value(0).toLongLong();
        if (!q.exec(QStringLiteral("PRAGMA user_version = %1").arg(version))) {
            code = StoreFailure::codeOf(q.lastError());
            storeText = q.lastError().text();
        }
        q.exec(QStringLiteral("ROLLBACK"));
    }
    int shown = code;
    switch (code & 0xff) {
    case SQLITE_OK:
    case SQLITE_BUSY: // held by another program: the first save says so
    case SQLITE_LOCKED:
        return;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN: // no journal can be made in the directory
    case SQLITE_PERM:
    case SQLITE_AUTH:
        shown = SQLITE_READONLY;
        break;
    default:
        break;
    }
    QString text = StoreFailure::describe(m_path, shown, QString());
    if (text.isEmpty())
        text = QStringLiteral("Baza de date %1 nu poate fi scrisa.")
                   .arg(QDir::toNativeSeparators(m_path));
    text += QStringLiteral(" Pana atunci registrul se deschide numai pentru citire: puteti "
                           "cauta si lista, dar nu puteti modifica nimic.");
    if (!storeText.trimmed().isEmpty())
        text += QStringLiteral("\n<") + storeText.trimmed() + QLatin1Char('>');
    m_readOnlyReason = text;
}

void Database::close() {
    if (!m_open)
        return;
    {
        QSqlDatabase db = connection();
        if (m_depth > 0) {
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            m_depth = 0;
            m_txCounters.clear();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
    m_open = false;
    noteChangeAll();
}

QString Database::resolveTable(const QString& fileName) const {
    if (!m_open)
        throw StoreError(QStringLiteral("Baza de date nu este deschisa"));
    QString name = fileName.trimmed();
    if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        name.chop(3);
    QSqlQuery q(connection());
    q.prepare(QStringLiteral(
        "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    q.addBindValue(name);
    if (!q.exec())
        throw StoreFailure::error(m_path, q.lastError());
    if (!q.next())
        throw StoreError(QStringLiteral("Tabelul %1 nu exista in baza de date").arg(fileName));
    return q.value(0).toString();
}

void Database::exec(const QString& sql, const QVariantList& binds) {
    if (!m_open)
        throw StoreError(QStringLiteral("Baza de date nu este deschisa"));
    QSqlQuery q(connection());
    if (binds.isEmpty()) {
        q.exec(sql);
    } else {
        if (!q.prepare(sql))
            throwIfError(m_path, q);
        for (const QVariant& v : binds)
            q.addBindValue(v);
        q.exec();
    }
    throwIfError(m_path, q);
}

void Database::begin() {
    exec(m_depth == 0 ? QStringLiteral("BEGIN IMMEDIATE")
                      : QStringLiteral("SAVEPOINT sp%1").arg(m_depth));
    m_txCounters.append(m_counter);
    ++m_depth;
}

void Database::commit() {
    if (m_depth <= 0)
        return;
    exec(m_depth == 1 ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE sp%1").arg(m_depth - 1));
    --m_depth;
    if (!m_txCounters.isEmpty())
        m_txCounters.removeLast();
}

void Database::rollback() {
    if (m_depth <= 0)
        return;
    --m_depth;
    const bool wrote = m_txCounters.isEmpty() || m_txCounters.takeLast() != m_counter;
    try {
        if (m_depth == 0) {
            exec(QStringLiteral("ROLLBACK"));
        } else {
            exec(QStringLiteral("ROLLBACK TO sp%1").arg(m_depth));
            exec(QStringLiteral("RELEASE sp%1").arg(m_depth));
        }
    } catch (const StoreError&) {
        // A failed rollback leaves SQLite to undo the transaction itself.
    }
    // Cached rows may show writes that were just undone.
    if (wrote)
        noteChangeAll();
}

void Database::checkExternal() {
    if (!m_open)
        return;
    QSqlQuery q(connection());
    if (q.exec(QStringLiteral("PRAGMA data_version")) && q.next()) {
        const qint64 v = q.value(0).toLongLong();
        if (v != m_dataVersion) {
            if (m_dataVersion != -1)
                noteChangeAll();
            m_dataVersion = v;
        }
    }
}

quint64 Database::changeStamp(const QString& table) {
    checkExternal();
    return std::max(m_stamps.value(table.toLower()), m_allStamp);
}

void Database::noteChange(const QString& table) {
    m_stamps[table.toLower()] = ++m_counter;
}

void Database::noteChangeAll() {
    m_allStamp = ++m_counter;
}

Transaction::~Transaction() {
    if (!m_done)
        m_db.rollback();
}

void Transaction::commit() {
    m_db.commit();
    m_done = true;
}
