#include "SqliteConnection.h"

#include "SqlText.h"
#include "Statement.h"
#include "StoreFailure.h"

#include <algorithm>
#include <sqlite3.h>

namespace {

class SqliteStatement : public StatementCore {
public:
    SqliteStatement(const SqliteConnection& owner, sqlite3_stmt* st) : m_owner(owner), m_st(st) {}
    ~SqliteStatement() override { sqlite3_finalize(m_st); }

    int parameterCount() const override { return sqlite3_bind_parameter_count(m_st); }
    int parameterIndex(const QString& name) const override {
        const QByteArray n =
            (name.startsWith(QLatin1Char(':')) ? name : QLatin1Char(':') + name).toUtf8();
        return sqlite3_bind_parameter_index(m_st, n.constData());
    }
    void bindNull(int at) override { check(sqlite3_bind_null(m_st, at)); }
    void bindInteger(int at, qint64 v) override { check(sqlite3_bind_int64(m_st, at, v)); }
    void bindReal(int at, double v) override { check(sqlite3_bind_double(m_st, at, v)); }
    void bindText(int at, const QString& v) override {
        check(sqlite3_bind_text16(m_st, at, v.utf16(), int(v.size() * 2), SQLITE_TRANSIENT));
    }
    void bindBlob(int at, const QByteArray& v) override {
        check(sqlite3_bind_blob(m_st, at, v.constData(), int(v.size()), SQLITE_TRANSIENT));
    }

    bool step() override {
        const int rc = sqlite3_step(m_st);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        m_owner.fail(rc);
    }
    void reset() override { sqlite3_reset(m_st); }

    int columnCount() const override { return sqlite3_column_count(m_st); }
    QString columnName(int c) const override {
        return QString::fromUtf8(sqlite3_column_name(m_st, c));
    }
    ColumnKind columnKind(int c) const override {
        switch (sqlite3_column_type(m_st, c)) {
        case SQLITE_INTEGER:
            return ColumnKind::Integer;
        case SQLITE_FLOAT:
            return ColumnKind::Real;
        case SQLITE_TEXT:
            return ColumnKind::Text;
        case SQLITE_BLOB:
            return ColumnKind::Blob;
        default:
            return ColumnKind::Null;
        }
    }
    qint64 columnInteger(int c) const override { return sqlite3_column_int64(m_st, c); }
    double columnReal(int c) const override { return sqlite3_column_double(m_st, c); }
    QByteArrayView columnBytes(int c) const override {
        const char* data = sqlite3_column_type(m_st, c) == SQLITE_BLOB
                               ? static_cast<const char*>(sqlite3_column_blob(m_st, c))
                               : reinterpret_cast<const char*>(sqlite3_column_text(m_st, c));
        return QByteArrayView(data, sqlite3_column_bytes(m_st, c));
    }
    void cell(int c, Cell* out) const override { read(c, out); }
    void cells(int first, int count, Cell* out) const override {
        for (int i = 0; i < count; ++i)
            read(first + i, out + i);
    }
    void read(int c, Cell* out) const {
        switch (sqlite3_column_type(m_st, c)) {
        case SQLITE_INTEGER:
            out->kind = ColumnKind::Integer;
            out->integer = sqlite3_column_int64(m_st, c);
            break;
        case SQLITE_FLOAT:
            out->kind = ColumnKind::Real;
            out->real = sqlite3_column_double(m_st, c);
            break;
        case SQLITE_TEXT: {
            out->kind = ColumnKind::Text;
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(m_st, c));
            out->bytes = QByteArrayView(text, sqlite3_column_bytes(m_st, c));
            break;
        }
        case SQLITE_BLOB: {
            out->kind = ColumnKind::Blob;
            const char* blob = static_cast<const char*>(sqlite3_column_blob(m_st, c));
            out->bytes = QByteArrayView(blob, sqlite3_column_bytes(m_st, c));
            break;
        }
        default:
            out->kind = ColumnKind::Null;
        }
    }
    bool writes() const override { return !sqlite3_stmt_readonly(m_st); }

private:
    void check(int rc) const {
        if (rc != SQLITE_OK)
            m_owner.fail(rc);
    }

    const SqliteConnection& m_owner;
    sqlite3_stmt* m_st;
};

} // namespace

SqliteConnection::SqliteConnection(const QString& path, Mode mode, int busyMs) : m_path(path) {
    // One thread uses a connection: no mutex around every column read.
    const int flags =
        SQLITE_OPEN_NOMUTEX | (mode == Mode::ReadOnly ? SQLITE_OPEN_READONLY
                               : mode == Mode::Create ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE
                                                      : SQLITE_OPEN_READWRITE);
    // SQLite takes file names in UTF-8 on every system.
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text =
            m_db ? QString::fromUtf8(sqlite3_errmsg(m_db)) : QStringLiteral("out of memory");
        sqlite3_close(m_db); // closed even when the open failed
        m_db = nullptr;
        throw StoreError(text, classify(rc), text);
    }
    sqlite3_extended_result_codes(m_db, 1);
    sqlite3_busy_timeout(m_db, busyMs);
}

SqliteConnection::~SqliteConnection() {
    // Statements are finalized by their owners first; v2 closes what is left.
    sqlite3_close_v2(m_db);
}

FailureKind SqliteConnection::classify(int code) {
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FailureKind::Locked;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return FailureKind::ReadOnly;
    case SQLITE_FULL:
        return FailureKind::Full;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return FailureKind::Damaged;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
        return FailureKind::IO;
    case SQLITE_CONSTRAINT:
        return FailureKind::Constraint;
    default:
        return FailureKind::Other;
    }
}

void SqliteConnection::fail(int code) const {
    throw StoreFailure::error(m_path, classify(code), QString::fromUtf8(sqlite3_errmsg(m_db)));
}

std::unique_ptr<StatementCore> SqliteConnection::prepare(const QString& sql) {
    const QByteArray utf8 = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(m_db, utf8.constData(), int(utf8.size()), &st, &tail);
    if (rc != SQLITE_OK)
        fail(rc);
    auto statement = std::make_unique<SqliteStatement>(*this, st);
    if (!st)
        throw StoreError(QStringLiteral("Interogarea nu are nicio instructiune"));
    // One statement a text: what follows the first would silently not run.
    if (tail && !QByteArray(tail).trimmed().isEmpty())
        throw StoreError(QStringLiteral("Interogarea poate avea o singura instructiune"));
    return statement;
}

void SqliteConnection::execute(const QString& sql) {
    const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

qint64 SqliteConnection::lastInsertId() const {
    return sqlite3_last_insert_rowid(m_db);
}

qint64 SqliteConnection::changes() const {
    return sqlite3_changes64(m_db);
}

void SqliteConnection::begin() {
    // The write lock is taken at once: a save never fails half-way on a
    // lock another program took after our reads.
    execute(QStringLiteral("BEGIN IMMEDIATE"));
}

qint64 SqliteConnection::foreignVersion() {
    Statement st(*this, QStringLiteral("PRAGMA data_version"));
    return st.step() ? st.integer(0) : 0;
}

QString SqliteConnection::tableNamed(const QString& name) {
    Statement st(*this, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND "
                                       "name = ? COLLATE NOCASE"));
    st.bind(1, name);
    return st.step() ? st.text(0) : QString();
}

QList<QPair<QString, QString>> SqliteConnection::columns(const QString& table) {
    Statement st(*this, QStringLiteral("PRAGMA table_info(%1)").arg(quoted(table)));
    QList<QPair<QString, QString>> out;
    while (st.step())
        out.append({st.text(1), st.text(2)});
    return out;
}

QList<IndexDef> SqliteConnection::indexes(const QString& table) {
    QList<QPair<QString, bool>> names;
    {
        Statement list(*this, QStringLiteral("PRAGMA index_list(%1)").arg(quoted(table)));
        while (list.step())
            names.append({list.text(1), list.integer(2) != 0});
    }
    std::reverse(names.begin(), names.end()); // in the order they were made
    QList<IndexDef> out;
    for (const auto& [name, unique] : names) {
        Statement info(*this, QStringLiteral("PRAGMA index_info(%1)").arg(quoted(name)));
        QList<QPair<qint64, QString>> cols;
        while (info.step())
            cols.append({info.integer(0), info.text(2)});
        std::sort(cols.begin(), cols.end());
        QStringList fields;
        for (const auto& c : cols)
            fields << c.second;
        out.append({name, fields.join(QLatin1Char(';')), unique});
    }
    return out;
}

bool SqliteConnection::probeWrite(FailureKind* kind, QString* text) {
    // Rewriting the header's own version number needs the lock, the journal
    // beside the file and a page written: everything a save needs. It is
    // undone at once, so the file is left as it was.
    int rc = sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        qint64 version = 0;
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(m_db, "PRAGMA user_version", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW)
            version = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
        rc = sqlite3_exec(
            m_db, QByteArray("PRAGMA user_version = " + QByteArray::number(version)).constData(),
            nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            *text = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    } else {
        *text = QString::fromUtf8(sqlite3_errmsg(m_db));
    }
    switch (rc & 0xff) {
    case SQLITE_OK:
    case SQLITE_BUSY: // held by another program: the first save says so
    case SQLITE_LOCKED:
        return true;
    case SQLITE_CANTOPEN: // no journal can be made in the directory
        *kind = FailureKind::ReadOnly;
        return false;
    default:
        *kind = classify(rc);
        return false;
    }
}

void SqliteConnection::createTable(const TableDef& t) {
    QStringList cols;
    for (const FieldDef& f : t.fields)
        cols << quoted(f.name) + QLatin1Char(' ') + Schema::declaredType(f);
    execute(QStringLiteral("CREATE TABLE %1 (%2)")
                .arg(quoted(t.name), cols.join(QStringLiteral(", "))));
    for (const IndexDef& i : t.indexes)
        execute(Schema::createIndexSql(t, i));
}

bool SqliteConnection::copyFile(const QString& from, const QString& to) {
    try {
        SqliteConnection src(from, Mode::ReadWrite);
        SqliteConnection dst(to, Mode::Create);
        sqlite3_backup* backup = sqlite3_backup_init(dst.m_db, "main", src.m_db, "main");
        if (!backup)
            return false;
        int rc = SQLITE_OK;
        for (int attempt = 0; attempt < 50; ++attempt) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc != SQLITE_BUSY && rc != SQLITE_LOCKED)
                break;
            sqlite3_sleep(100);
        }
        const bool finished = sqlite3_backup_finish(backup) == SQLITE_OK;
        return rc == SQLITE_DONE && finished;
    } catch (const StoreError&) {
        return false;
    }
}
