#include "Query.h"

#include "Database.h"
#include "SqlText.h"
#include "StoreError.h"
#include "StoreFailure.h"
#include "Values.h"

#include <QDateTime>

#include <cstring>
#include <sqlite3.h>
#include <string>
#include <vector>

Query::Query(Database& db, QObject* parent) : DataSet(parent), m_db(db) {}

void Query::setSql(const QStringList& lines) {
    close();
    m_lines = lines;
}

void Query::setLine(int index, const QString& text) {
    if (index < 0)
        return;
    while (m_lines.size() <= index)
        m_lines << QString();
    m_lines[index] = text;
}

void Query::setParam(const QString& name, const QVariant& value) {
    m_params.insert(name.toLower(), value);
}

QVariant Query::param(const QString& name) const {
    return m_params.value(name.toLower());
}

QString Query::text() const {
    return m_lines.join(QLatin1Char('\n'));
}

void Query::open() {
    run(true);
}

void Query::exec() {
    run(false);
    m_active = false;
}

void Query::close() {
    m_active = false;
    m_values.clear();
    m_rowCount = 0;
    m_names.clear();
    m_cur = -1;
    m_eof = true;
}

namespace {

// Finalizes the statement on every path out of a run.
struct Statement {
    sqlite3_stmt* st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

bool isNullValue(const QVariant& v) {
    if (v.isNull())
        return true;
    // A null text or byte array is NULL to the store, not an empty value.
    switch (v.typeId()) {
    case QMetaType::QString:
        return static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(v.constData())->isNull();
    default:
        return false;
    }
}

int bindText(sqlite3_stmt* st, int at, const QString& text) {
    return sqlite3_bind_text16(st, at, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
}

int bindValue(sqlite3_stmt* st, int at, const QVariant& v) {
    if (isNullValue(v))
        return sqlite3_bind_null(st, at);
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return sqlite3_bind_int64(st, at, v.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(st, at, v.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray* bytes = static_cast<const QByteArray*>(v.constData());
        return sqlite3_bind_blob(st, at, bytes->constData(), int(bytes->size()), SQLITE_TRANSIENT);
    }
    case QMetaType::QDateTime:
        return bindText(st, at, v.toDateTime().toString(Qt::ISODateWithMs));
    case QMetaType::QTime:
        return bindText(st, at, v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")));
    default:
        return bindText(st, at, v.toString());
    }
}

} // namespace

void Query::run(bool select) {
    close();
    if (!m_db.isOpen())
        throw StoreError(QStringLiteral("Baza de date nu este deschisa"));
    const SqlText t = translateSql(text());
    sqlite3* handle = m_db.sqliteHandle();
    auto failure = [&](int code) {
        return StoreFailure::error(m_db.path(), code, QString::fromUtf8(sqlite3_errmsg(handle)));
    };
    Statement s;
    const QByteArray utf8 = t.sql.toUtf8();
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &s.st, &tail) != SQLITE_OK)
        throw failure(sqlite3_extended_errcode(handle));
    if (!s.st)
        throw StoreError(QStringLiteral("Interogarea nu are nicio instructiune"));
    // One statement a run: what follows the first would silently not run.
    if (tail && !QByteArray(tail).trimmed().isEmpty())
        throw StoreError(QStringLiteral("Interogarea poate avea o singura instructiune"));
    if (sqlite3_bind_parameter_count(s.st) != t.params.size())
        throw StoreError(QStringLiteral("Numarul parametrilor nu se potriveste cu interogarea"));
    for (int i = 0; i < t.params.size(); ++i) {
        const QString& p = t.params.at(i);
        QVariant v;
        const auto it = m_params.constFind(p.toLower());
        if (it != m_params.constEnd())
            v = it.value();
        else
            throw StoreError(QStringLiteral("Parametrul %1 nu are valoare").arg(p));
        if (v.typeId() == QMetaType::QDate)
            v = Values::dateToStored(v.toDate());
        else if (v.typeId() == QMetaType::Bool)
            v = v.toBool() ? 1 : 0;
        if (bindValue(s.st, i + 1, v) != SQLITE_OK)
            throw failure(sqlite3_extended_errcode(handle));
    }

    const int columns = select ? sqlite3_column_count(s.st) : 0;
    // The names are known before the first step, so a result without rows
    // still has its columns.
    QStringList names;
    for (int c = 0; c < columns; ++c)
        names << QString::fromUtf8(sqlite3_column_name(s.st, c)).remove(QLatin1Char('"'));

    QVector<QVariant> values;
    int rows = 0;
    // Sorted results repeat a column's text from row to row (the cemetery,
    // the sector): the repeat shares the previous row's string.
    std::vector<std::string> lastText(static_cast<size_t>(columns));
    std::vector<QString> lastString(static_cast<size_t>(columns));
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        if (!select)
            continue;
        ++rows;
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(s.st, c)) {
            case SQLITE_INTEGER:
                values.append(QVariant(qlonglong(sqlite3_column_int64(s.st, c))));
                break;
            case SQLITE_FLOAT:
                values.append(QVariant(sqlite3_column_double(s.st, c)));
                break;
            case SQLITE_TEXT: {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s.st, c));
                const size_t bytes = size_t(sqlite3_column_bytes(s.st, c));
                std::string& last = lastText[size_t(c)];
                QString& string = lastString[size_t(c)];
                if (string.isNull() || last.size() != bytes ||
                    std::memcmp(last.data(), text, bytes) != 0) {
                    last.assign(text, bytes);
                    string = QString::fromUtf8(text, qsizetype(bytes));
                }
                values.append(QVariant(string));
                break;
            }
            case SQLITE_BLOB: {
                const char* blob = static_cast<const char*>(sqlite3_column_blob(s.st, c));
                values.append(QVariant(QByteArray(blob, sqlite3_column_bytes(s.st, c))));
                break;
            }
            default:
                values.append(QVariant());
                break;
            }
        }
    }
    if (rc != SQLITE_DONE)
        throw failure(sqlite3_extended_errcode(handle));
    // A statement that writes may change any table: cached rows are stale.
    if (!select || !sqlite3_stmt_readonly(s.st))
        m_db.noteChangeAll();
    if (!select)
        return;
    m_names = names;
    m_values = std::move(values);
    m_rowCount = rows;
    m_active = true;
    m_cur = m_rowCount == 0 ? -1 : 0;
    m_eof = m_rowCount == 0;
    emit scrolled();
}

int Query::fieldIndex(const QString& name) const {
    for (int i = 0; i < m_names.size(); ++i)
        if (m_names.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant Query::value(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Campul %1 nu exista in rezultatul interogarii").arg(name));
    return value(i);
}

QVariant Query::value(int field) const {
    if (m_cur < 0 || m_cur >= m_rowCount || field < 0 || field >= fieldCount())
        return {};
    return m_values.at(qsizetype(m_cur) * fieldCount() + field);
}

void Query::first() {
    m_cur = m_rowCount == 0 ? -1 : 0;
    m_eof = m_rowCount == 0;
    emit scrolled();
}

void Query::next() {
    if (m_cur + 1 < m_rowCount) {
        ++m_cur;
        emit scrolled();
    } else {
        m_eof = true;
    }
}
