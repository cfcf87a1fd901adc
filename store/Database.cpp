#include "Database.h"

#include "PgConnection.h"
#include "Schema.h"
#include "SqliteConnection.h"
#include "StoreError.h"
#include "StoreFailure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool g_openReadOnly = false;

// Builds the empty register at tempPath; the caller moves it into place.
void buildFresh(const QString& tempPath) {
    SqliteConnection db(tempPath, SqliteConnection::Mode::Create);
    Schema::createTables(db);
}

StoreError notOpen() {
    return StoreError(QStringLiteral("Baza de date nu este deschisa"));
}

} // namespace

Database::Database(QString path, QString server)
    : m_path(std::move(path)), m_server(std::move(server)) {}

Database::~Database() {
    close();
}

Connection& Database::connection() const {
    if (!m_connection)
        throw notOpen();
    return *m_connection;
}

void Database::open() {
    if (isOpen())
        return;
    m_createdFresh = false;
    if (!m_server.isEmpty()) {
        openServer();
        return;
    }
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

    auto connection = std::make_unique<SqliteConnection>(
        m_path,
        g_openReadOnly ? SqliteConnection::Mode::ReadOnly : SqliteConnection::Mode::ReadWrite);
    // Reading the catalogue is the first thing that fails on a file that
    // is not a database; nothing is written to it before this check.
    try {
        Statement(*connection, QStringLiteral("SELECT count(*) FROM sqlite_master")).run();
    } catch (const StoreError& e) {
        // A good register held by another program must not look like a
        // foreign file: the clerk might replace it.
        const QString& raw = e.storeText();
        if (e.kind() == FailureKind::Locked)
            throw StoreError(StoreFailure::inUse(m_path, raw), FailureKind::Locked);
        throw StoreError(QStringLiteral("Fisierul %1 nu este o baza de date Tombrix: %2")
                             .arg(QDir::toNativeSeparators(m_path), raw),
                         FailureKind::Damaged);
    }
    m_connection = std::move(connection);
    m_depth = 0;
    m_foreignVersion = -1;
    checkExternal();
    probeWritable();
}

void Database::openServer() {
    auto connection = std::make_unique<PgConnection>(m_server);
    // An empty database is a new register: its tables are made in one go.
    if (connection->tableNamed(QStringLiteral("Catalog")).isEmpty()) {
        Schema::createTables(*connection);
        m_createdFresh = true;
    }
    PgConnection* server = connection.get();
    m_connection = std::move(connection);
    m_depth = 0;
    m_foreignVersion = -1;
    checkExternal();
    probeWritable();
    if (!writable())
        return;
    // A register moved to the server by hand, or made by an older program,
    // learns to tell the other clerks of its changes. A clerk who may not
    // add that still works, seeing others' saves when the tables are read.
    QStringList names;
    for (const TableDef& t : Schema::tables())
        if (const QString stored = server->tableNamed(t.name); !stored.isEmpty())
            names << stored;
    try {
        server->ensureNotifications(names);
    } catch (const StoreError&) {
    }
}

void Database::setOpenReadOnly(bool on) {
    g_openReadOnly = on;
}

void Database::probeWritable() {
    m_readOnlyReason.clear();
    FailureKind kind = FailureKind::Other;
    QString storeText;
    if (m_connection->probeWrite(&kind, &storeText))
        return;
    const QString where = m_connection->where();
    QString text = StoreFailure::describe(where, kind, QString());
    if (text.isEmpty())
        text = QStringLiteral("Baza de date %1 nu poate fi scrisa.")
                   .arg(QDir::toNativeSeparators(where));
    text += QStringLiteral(" Pana atunci registrul se deschide numai pentru citire: puteti "
                           "cauta si lista, dar nu puteti modifica nimic.");
    if (!storeText.trimmed().isEmpty())
        text += QStringLiteral("\n<") + storeText.trimmed() + QLatin1Char('>');
    m_readOnlyReason = text;
}

void Database::close() {
    if (!m_connection)
        return;
    if (m_depth > 0) {
        try {
            m_connection->execute(QStringLiteral("ROLLBACK"));
        } catch (const StoreError&) {
            // Closing the connection undoes the transaction all the same.
        }
        m_depth = 0;
        m_txCounters.clear();
    }
    m_connection.reset();
    noteChangeAll();
}

QString Database::resolveTable(const QString& fileName) const {
    QString name = fileName.trimmed();
    if (name.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
        name.chop(3);
    const QString stored = connection().tableNamed(name);
    if (stored.isEmpty())
        throw StoreError(QStringLiteral("Tabelul %1 nu exista in baza de date").arg(fileName));
    return stored;
}

void Database::exec(const QString& sql, const QVariantList& binds) {
    if (binds.isEmpty()) {
        connection().execute(sql);
        return;
    }
    Statement st = prepare(sql);
    st.bindAll(binds);
    st.run();
}

QVariant Database::scalar(const QString& sql, const QVariantList& binds) {
    Statement st = prepare(sql);
    st.bindAll(binds);
    return st.step() ? st.value(0) : QVariant();
}

void Database::begin() {
    if (m_depth == 0)
        connection().begin();
    else
        exec(QStringLiteral("SAVEPOINT sp%1").arg(m_depth));
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
        // A failed rollback leaves the engine to undo the transaction itself.
    }
    // Cached rows may show writes that were just undone.
    if (wrote)
        noteChangeAll();
}

bool Database::checkExternal() {
    if (!m_connection)
        return false;
    qint64 v = m_foreignVersion;
    try {
        v = m_connection->foreignVersion();
    } catch (const StoreError&) {
        return false; // the next read says what is wrong
    }
    if (v == m_foreignVersion)
        return false;
    const bool seen = m_foreignVersion != -1;
    if (seen)
        noteChangeAll();
    m_foreignVersion = v;
    return seen;
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
