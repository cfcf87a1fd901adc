#include "Table.h"

#include "Database.h"
#include "StoreError.h"
#include "StoreFailure.h"
#include "Values.h"

#include <QScopedValueRollback>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <string>

namespace {

QString quoted(const QString& identifier) {
    return QLatin1Char('"') +
           QString(identifier).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

bool isNumeric(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
        return true;
    default:
        return false;
    }
}

// The order SQLite gives values of one column: null, numbers, texts.
int compareStored(const QVariant& a, const QVariant& b) {
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const bool anum = isNumeric(a), bnum = isNumeric(b);
    if (anum && bnum) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (anum != bnum)
        return anum ? -1 : 1;
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
        return static_cast<const QString*>(a.constData())
            ->compare(*static_cast<const QString*>(b.constData()), Qt::CaseSensitive);
    return a.toString().compare(b.toString(), Qt::CaseSensitive);
}

bool sameValue(const QVariant& a, const QVariant& b) {
    return compareStored(a, b) == 0;
}

} // namespace

Table::Table(Database& db, QObject* parent) : DataSet(parent), m_db(db) {}

Table::~Table() {
    if (m_masterTable)
        m_masterTable->m_details.removeAll(this);
}

void Table::setTableName(const QString& fileName) {
    if (isActive())
        throw StoreError(QStringLiteral("Tabelul %1 este deschis").arg(m_fileName));
    m_fileName = fileName;
}

// ---------------------------------------------------------------- opening

void Table::open() {
    if (isActive())
        return;
    m_stored = m_db.resolveTable(m_fileName);
    QList<FieldDef> fields = storedFields();
    for (const FieldDef& c : m_calcFields)
        fields << c;
    m_fields = fields;
    m_fieldCache.clear();

    // The order: the named index, or the primary one.
    const QString idx = m_indexName;
    m_indexName.clear();
    m_orderFields.clear();
    m_state = TableState::Browse;
    try {
        setIndexName(idx);
        loadRows();
    } catch (...) {
        m_state = TableState::Inactive;
        m_all.clear();
        m_view.clear();
        throw;
    }
    m_modified = false;
    emitReset();
    setCurrent(m_view.empty() ? -1 : 0, false);
    m_bof = true;
    m_eof = m_view.empty();
    emit stateChanged();
    notifyScrolled();
}

QList<FieldDef> Table::storedFields() const {
    const QString stored = m_db.resolveTable(m_fileName);
    QSqlQuery q(m_db.connection());
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoted(stored))))
        throw StoreFailure::error(m_db.path(), q.lastError());
    QList<FieldDef> fields;
    while (q.next())
        fields << Schema::fieldFromDeclared(q.value(1).toString(), q.value(2).toString());
    if (fields.isEmpty())
        throw StoreError(QStringLiteral("Tabelul %1 nu poate fi citit").arg(m_fileName));
    return fields;
}

void Table::close() {
    if (!isActive())
        return;
    m_state = TableState::Inactive;
    m_modified = false;
    m_all.clear();
    m_view.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    m_linkLoaded = false;
    emitReset();
    emit stateChanged();
    emit currentChanged(-1);
    emit scrolled();
}

void Table::requireActive() const {
    if (!isActive())
        throw StoreError(QStringLiteral("Tabelul %1 nu este deschis").arg(m_fileName));
}

// A register that cannot be written refuses a change before anything is
// typed into it, not at the save.
void Table::requireWritable() const {
    if (!m_db.writable())
        throw StoreError(m_db.readOnlyReason());
}

void Table::requireEditing() const {
    requireActive();
    if (!isEditing())
        throw StoreError(QStringLiteral("Tabelul %1 nu este in mod de editare").arg(m_fileName));
}

QVector<QVariant> Table::linkValues() const {
    QVector<QVariant> out;
    for (int i = 0; i < m_linkFields.size(); ++i) {
        const QString& mf = m_masterFields.isEmpty() ? m_linkFields.at(i) : m_masterFields.at(i);
        const QVariant v = (m_master && m_master->isActive() && m_master->hasField(mf))
                               ? m_master->value(mf)
                               : QVariant();
        const int fi = fieldIndex(m_linkFields.at(i));
        out << (fi >= 0 ? toStored(m_fields.at(fi), v) : v);
    }
    return out;
}

sqlite3* Table::sqliteHandle() const {
    return m_db.sqliteHandle();
}

QString Table::linkWhere(QVector<QVariant>* link) const {
    if (!(m_master && m_linkEnabled && !m_linkFields.isEmpty()))
        return {};
    *link = linkValues();
    QStringList cond;
    for (const QString& f : m_linkFields)
        cond << quoted(f) + QStringLiteral(" = ?");
    return QStringLiteral(" WHERE ") + cond.join(QStringLiteral(" AND "));
}

QString Table::orderBy() const {
    QStringList fields;
    for (int f : m_orderFields)
        fields << quoted(m_fields.at(f).name);
    fields << QStringLiteral("rowid");
    return QStringLiteral(" ORDER BY ") + fields.join(QStringLiteral(", "));
}

QString Table::storedColumns() const {
    QStringList cols;
    for (const FieldDef& f : m_fields)
        if (!f.calculated)
            cols << quoted(f.name);
    return cols.join(QStringLiteral(", "));
}

// Runs a statement straight on SQLite: at a hundred thousand places the
// per-value cost of the generic SQL layer would dominate.
void Table::eachRow(const QString& sql, const QVector<QVariant>& binds,
                    const std::function<void(sqlite3_stmt*)>& row) const {
    sqlite3* handle = sqliteHandle();
    sqlite3_stmt* st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK)
        throw StoreFailure::error(m_db.path(), sqlite3_extended_errcode(handle),
                                  QString::fromUtf8(sqlite3_errmsg(handle)));
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant& v = binds.at(i);
        if (v.isNull()) {
            sqlite3_bind_null(st, i + 1);
        } else if (v.typeId() == QMetaType::LongLong) {
            sqlite3_bind_int64(st, i + 1, v.toLongLong());
        } else if (isNumeric(v)) {
            sqlite3_bind_double(st, i + 1, v.toDouble());
        } else {
            const QString text = v.toString();
            sqlite3_bind_text16(st, i + 1, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
        }
    }
    int rc;
    try {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            row(st);
    } catch (...) {
        sqlite3_finalize(st);
        throw;
    }
    const int code = rc == SQLITE_DONE ? SQLITE_OK : sqlite3_extended_errcode(handle);
    const QString failure =
        code == SQLITE_OK ? QString() : QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_finalize(st);
    if (code != SQLITE_OK)
        throw StoreFailure::error(m_db.path(), code, failure);
}

namespace {

enum Kind : char { KNull, KInteger, KReal, KText };

void putNumber(QByteArray& out, char kind, const void* eight) {
    out.append(kind);
    out.append(static_cast<const char*>(eight), 8);
}

void putText(QByteArray& out, const char* utf8, qsizetype bytes) {
    out.append(char(KText));
    quint64 n = quint64(bytes);
    do { // the length in 7-bit groups, low first
        out.append(char((n & 0x7f) | (n > 0x7f ? 0x80 : 0)));
        n >>= 7;
    } while (n);
    out.append(utf8, bytes);
}

// Where a packed value starts: its kind byte and the bytes after it.
struct Packed {
    char kind = KNull;
    const char* data = nullptr;
    qsizetype bytes = 0;
};

Packed packedAt(const QByteArray& block, int field) {
    const char* p = block.constData();
    const char* end = p + block.size();
    for (int i = 0; p < end; ++i) {
        Packed v;
        v.kind = *p++;
        if (v.kind == KInteger || v.kind == KReal) {
            v.data = p;
            v.bytes = 8;
        } else if (v.kind == KText) {
            quint64 n = 0;
            int shift = 0;
            while (p < end) {
                const auto c = static_cast<unsigned char>(*p++);
                n |= quint64(c & 0x7f) << shift;
                shift += 7;
                if (!(c & 0x80))
                    break;
            }
            v.data = p;
            v.bytes = qsizetype(n);
        }
        if (i == field)
            return v;
        p += v.bytes;
    }
    return {};
}

QVariant toVariant(const Packed& v) {
    switch (v.kind) {
    case KInteger: {
        qint64 n;
        std::memcpy(&n, v.data, 8);
        return qlonglong(n);
    }
    case KReal: {
        double d;
        std::memcpy(&d, v.data, 8);
        return d;
    }
    case KText:
        return QString::fromUtf8(v.data, v.bytes);
    default:
        return {};
    }
}

} // namespace

// Fills a row's stored fields from the statement's columns, starting at `col`.
void Table::readValues(sqlite3_stmt* st, int col, Row& r) const {
    // Built in a buffer that keeps its room, then copied once at its size.
    static thread_local QByteArray out;
    out.resize(0);
    int c = 0;
    for (int i = 0; i < m_fields.size(); ++i) {
        const FieldDef& f = m_fields.at(i);
        if (f.calculated) {
            out.append(char(KNull));
            continue;
        }
        const int at = col + c++;
        switch (sqlite3_column_type(st, at)) {
        case SQLITE_NULL:
            out.append(char(KNull));
            break;
        case SQLITE_INTEGER:
            if (f.type == FieldType::Number) {
                const double d = double(sqlite3_column_int64(st, at));
                putNumber(out, KReal, &d);
            } else {
                const qint64 n = sqlite3_column_int64(st, at);
                putNumber(out, KInteger, &n);
            }
            break;
        case SQLITE_FLOAT: {
            const double d = sqlite3_column_double(st, at);
            putNumber(out, KReal, &d);
            break;
        }
        default: {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, at));
            putText(out, text, sqlite3_column_bytes(st, at));
        }
        }
    }
    r.packed = QByteArray(out.constData(), out.size());
}

QByteArray Table::pack(const QVector<QVariant>& values) const {
    QByteArray out;
    for (int i = 0; i < m_fields.size(); ++i) {
        const QVariant& v = values.value(i);
        if (m_fields.at(i).calculated || v.isNull() || !v.isValid()) {
            out.append(char(KNull));
        } else if (v.typeId() == QMetaType::QString) {
            const QByteArray utf8 = v.toString().toUtf8();
            putText(out, utf8.constData(), utf8.size());
        } else if (v.typeId() == QMetaType::Double) {
            const double d = v.toDouble();
            putNumber(out, KReal, &d);
        } else if (isNumeric(v)) {
            const qint64 n = v.toLongLong();
            putNumber(out, KInteger, &n);
        } else {
            const QByteArray utf8 = v.toString().toUtf8();
            putText(out, utf8.constData(), utf8.size());
        }
    }
    out.squeeze();
    return out;
}

QVector<QVariant> Table::unpackAll(const Row* row) const {
    QVector<QVariant> out(m_fields.size());
    if (row)
        for (int i = 0; i < m_fields.size(); ++i)
            out[i] = toVariant(packedAt(row->packed, i));
    return out;
}

QVariant Table::stored(const Row* row, int field) const {
    if (!row)
        return {};
    if (row == &m_buffer)
        return m_edit.value(field);
    ensureComplete(row);
    return toVariant(packedAt(row->packed, field));
}

// The view is the ordered list of row ids, read from the index alone; the
// values follow when something reads them. The few rows of one place under
// a link are read whole at once: their grid shows them all straight away,
// and one statement costs less than one per row.
void Table::loadRows() {
    QVector<QVariant> link;
    const QString where = linkWhere(&link);
    const bool whole = !where.isEmpty();
    std::vector<std::unique_ptr<Row>> rows;
    const QString columns =
        whole ? QStringLiteral("rowid, ") + storedColumns() : QStringLiteral("rowid");
    eachRow(QStringLiteral("SELECT %1 FROM %2").arg(columns, quoted(m_stored)) + where + orderBy(),
            link, [&](sqlite3_stmt* st) {
                auto r = std::make_unique<Row>();
                r->rowid = sqlite3_column_int64(st, 0);
                if (whole)
                    readValues(st, 1, *r);
                rows.push_back(std::move(r));
            });
    m_all = std::move(rows);
    m_loadedLink = link;
    m_linkLoaded = !where.isEmpty();
    m_stamp = m_db.changeStamp(m_stored);
    applyFilter();
}

void Table::ensureComplete(const Row* row) const {
    if (!row || row->complete() || row->rowid < 0)
        return;
    Row* r = const_cast<Row*>(row);
    bool found = false;
    eachRow(
        QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(storedColumns(), quoted(m_stored)),
        {QVariant(qlonglong(r->rowid))}, [&](sqlite3_stmt* st) {
            readValues(st, 0, *r);
            found = true;
        });
    if (!found) // deleted behind our back: shows empty until the next refresh
        r->packed = pack({});
}

void Table::ensureAllComplete() const {
    std::size_t missing = 0;
    for (const auto& r : m_all)
        missing += r->complete() ? 0 : 1;
    if (missing == 0)
        return;
    if (missing < 64) {
        for (const auto& r : m_all)
            ensureComplete(r.get());
        return;
    }
    QHash<qint64, Row*> byId;
    byId.reserve(qsizetype(missing));
    for (const auto& r : m_all)
        if (!r->complete())
            byId.insert(r->rowid, r.get());
    QVector<QVariant> link;
    const QString where = linkWhere(&link);
    eachRow(QStringLiteral("SELECT rowid, %1 FROM %2").arg(storedColumns(), quoted(m_stored)) +
                where,
            link, [&](sqlite3_stmt* st) {
                if (Row* r = byId.value(sqlite3_column_int64(st, 0)))
                    readValues(st, 1, *r);
            });
    for (Row* r : std::as_const(byId))
        if (!r->complete()) // deleted behind our back
            r->packed = pack({});
}

bool Table::lessThan(const Row* a, const Row* b) const {
    for (int f : m_orderFields) {
        const int c = compareStored(stored(a, f), stored(b, f));
        if (c != 0)
            return c < 0;
    }
    return a->rowid < b->rowid;
}

// Puts the kept rows in the order of the current index, as SQLite reads it
// from the index itself.
void Table::sortRows() {
    // Only rows whose values were read need to be carried over; the others
    // are row ids alone and are made anew in the new order.
    QHash<qint64, Row*> kept;
    for (const auto& r : m_all)
        if (r->complete())
            kept.insert(r->rowid, r.get());
    QVector<QVariant> link;
    const QString where = linkWhere(&link);
    // The new order is read completely before any row moves: a read that
    // fails half-way leaves the rows as they were.
    std::vector<std::unique_ptr<Row>> sorted;
    sorted.reserve(m_all.size());
    QHash<qint64, std::size_t> placeOf;
    eachRow(QStringLiteral("SELECT rowid FROM %1").arg(quoted(m_stored)) + where + orderBy(), link,
            [&](sqlite3_stmt* st) {
                const qint64 id = sqlite3_column_int64(st, 0);
                if (!kept.isEmpty() && kept.contains(id)) {
                    placeOf.insert(id, sorted.size());
                    sorted.emplace_back();
                } else {
                    auto r = std::make_unique<Row>();
                    r->rowid = id;
                    sorted.push_back(std::move(r));
                }
            });
    for (auto& r : m_all)
        if (r->complete()) {
            const auto at = placeOf.constFind(r->rowid);
            if (at != placeOf.constEnd())
                sorted[at.value()] = std::move(r);
        }
    m_all = std::move(sorted);
}

bool Table::accepts(const Row* row) const {
    if (!m_filtered || !onFilterRecord)
        return true;
    m_filterRow = row;
    bool ok = false;
    try {
        ok = onFilterRecord(*this);
    } catch (...) {
        m_filterRow = nullptr;
        throw;
    }
    m_filterRow = nullptr;
    return ok;
}

void Table::applyFilter() {
    if (m_filtered && onFilterRecord)
        ensureAllComplete();
    m_view.clear();
    m_view.reserve(m_all.size());
    for (const auto& r : m_all)
        if (accepts(r.get()))
            m_view.push_back(r.get());
}

// ---------------------------------------------------------------- fields

void Table::addCalcField(const QString& name, FieldType type) {
    if (isActive())
        throw StoreError(QStringLiteral("Tabelul %1 este deschis").arg(m_fileName));
    FieldDef f;
    f.name = name;
    f.type = type;
    f.calculated = true;
    m_calcFields << f;
}

int Table::fieldIndex(const QString& name) const {
    const auto it = m_fieldCache.constFind(name);
    if (it != m_fieldCache.constEnd())
        return it.value();
    int found = -1;
    for (int i = 0; i < m_fields.size(); ++i)
        if (m_fields.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
            found = i;
            break;
        }
    if (found >= 0)
        m_fieldCache.insert(name, found);
    return found;
}

const FieldDef& Table::fieldDef(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Campul %1 nu exista in tabelul %2").arg(name, m_fileName));
    return m_fields.at(i);
}

QVariant Table::toTyped(const FieldDef& f, const QVariant& s) {
    if (s.isNull())
        return {};
    switch (f.type) {
    case FieldType::Number:
        return s.toDouble();
    case FieldType::Date: {
        const QDate d = Values::storedToDate(s);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Logical:
        if (s.typeId() == QMetaType::QString)
            return s.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                   s.toString() == QLatin1String("1");
        return s.toDouble() != 0;
    case FieldType::LongInt:
        return s.toInt();
    case FieldType::Text:
    case FieldType::Memo:
        return s.toString();
    }
    return s;
}

QVariant Table::toStored(const FieldDef& f, const QVariant& v) const {
    if (v.isNull() || !v.isValid())
        return {};
    switch (f.type) {
    case FieldType::Number:
        if (v.typeId() == QMetaType::QString) {
            double d = 0;
            if (!Values::textToNumber(v.toString(), &d))
                return {};
            return d;
        }
        return v.toDouble();
    case FieldType::Date: {
        QDate d;
        if (v.typeId() == QMetaType::QDate)
            d = v.toDate();
        else if (v.typeId() == QMetaType::QDateTime)
            d = v.toDateTime().date();
        else
            d = Values::storedToDate(v);
        return d.isValid() ? QVariant(Values::dateToStored(d)) : QVariant();
    }
    case FieldType::Logical:
        return v.toBool() ? 1 : 0;
    case FieldType::LongInt:
        return static_cast<qlonglong>(v.toLongLong());
    case FieldType::Text: {
        const QString s = Values::cutText(v.toString(), f.size);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldType::Memo: {
        const QString s = v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    }
    return v;
}

QVariant Table::value(int field) const {
    if (field < 0 || field >= m_fields.size())
        return {};
    if (m_filterRow) {
        return toTyped(m_fields.at(field), stored(m_filterRow, field));
    }
    if (m_fields.at(field).calculated) {
        if (m_calcRow >= 0)
            return m_calcValues.value(field);
        return m_cur >= 0 ? calcValue(m_cur, field) : QVariant();
    }
    if (isEditing())
        return toTyped(m_fields.at(field), m_edit.value(field));
    const Row* r = displayRow(m_cur);
    return r ? toTyped(m_fields.at(field), stored(r, field)) : QVariant();
}

QString Table::storedText(int field) const {
    if (field < 0 || field >= m_fields.size() || m_fields.at(field).calculated)
        return {};
    const Row* r = m_filterRow ? m_filterRow : (isEditing() ? &m_buffer : displayRow(m_cur));
    if (!r)
        return {};
    if (r == &m_buffer)
        return m_edit.value(field).toString();
    ensureComplete(r);
    const Packed v = packedAt(r->packed, field);
    // Read for every place at every filter keystroke: texts straight from their bytes.
    return v.kind == KText ? QString::fromUtf8(v.data, v.bytes) : toVariant(v).toString();
}

QByteArrayView Table::storedUtf8(int field, QByteArray* spare) const {
    if (field < 0 || field >= m_fields.size() || m_fields.at(field).calculated)
        return {};
    const Row* r = m_filterRow ? m_filterRow : (isEditing() ? &m_buffer : displayRow(m_cur));
    if (!r)
        return {};
    if (r == &m_buffer) {
        *spare = m_edit.value(field).toString().toUtf8();
        return *spare;
    }
    ensureComplete(r);
    const Packed v = packedAt(r->packed, field);
    if (v.kind == KText)
        return QByteArrayView(v.data, v.bytes);
    *spare = toVariant(v).toString().toUtf8();
    return *spare;
}

QVariant Table::value(const QString& name) const {
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Campul %1 nu exista in tabelul %2").arg(name, m_fileName));
    return value(i);
}

QVariant Table::calcValue(int row, int field) const {
    if (!onCalcFields)
        return {};
    const int savedRow = m_calcRow;
    const auto savedValues = m_calcValues;
    m_calcRow = row;
    m_calcValues.clear();
    QVariant out;
    try {
        onCalcFields(const_cast<Table&>(*this));
        out = m_calcValues.value(field);
    } catch (...) {
        out = QVariant();
    }
    m_calcRow = savedRow;
    m_calcValues = savedValues;
    return out;
}

QVariant Table::valueAt(int row, int field) const {
    if (field < 0 || field >= m_fields.size() || row < 0 || row >= rowCount())
        return {};
    if (m_fields.at(field).calculated)
        return calcValue(row, field);
    if (isEditing() && row == m_cur)
        return toTyped(m_fields.at(field), m_edit.value(field));
    const Row* r = displayRow(row);
    return r ? toTyped(m_fields.at(field), stored(r, field)) : QVariant();
}

void Table::setValidator(const QString& field, Validator validator) {
    m_validators.insert(field.toLower(), std::move(validator));
}

void Table::setValue(const QString& name, const QVariant& v) {
    const int i = fieldIndex(name);
    if (i < 0)
        throw StoreError(QStringLiteral("Campul %1 nu exista in tabelul %2").arg(name, m_fileName));
    const FieldDef& f = m_fields.at(i);
    if (f.calculated) {
        if (m_calcRow < 0)
            throw StoreError(QStringLiteral("Campul %1 este calculat").arg(name));
        m_calcValues.insert(i, v);
        return;
    }
    requireEditing();
    const QVariant old = m_edit.value(i);
    m_edit[i] = toStored(f, v);
    const auto vit = m_validators.constFind(f.name.toLower());
    if (vit != m_validators.constEnd() && vit.value()) {
        try {
            vit.value()(*this, f.name);
        } catch (...) {
            m_edit[i] = old;
            throw;
        }
    }
    m_modified = true;
    if (!quiet())
        emit rowChanged(m_cur);
    emit scrolled();
}

void Table::setAsString(const QString& name, const QString& text) {
    const FieldDef& f = fieldDef(name);
    const QString t = text.trimmed();
    if (t.isEmpty() && f.type != FieldType::Text && f.type != FieldType::Memo) {
        setValue(name, QVariant());
        return;
    }
    switch (f.type) {
    case FieldType::Number:
    case FieldType::LongInt: {
        double d = 0;
        if (!Values::textToNumber(t, &d))
            throw StoreError(QStringLiteral("'%1' nu este o valoare numerica valida").arg(text));
        if (f.type == FieldType::LongInt && (d != static_cast<double>(static_cast<qint32>(d))))
            throw StoreError(QStringLiteral("'%1' nu este un numar intreg valid").arg(text));
        setValue(name, d);
        return;
    }
    case FieldType::Date: {
        const QDate d = Values::textToDate(t);
        if (!d.isValid())
            throw StoreError(QStringLiteral("'%1' nu este o data valida").arg(text));
        setValue(name, d);
        return;
    }
    case FieldType::Logical: {
        const QString u = t.toLower();
        if (u == QLatin1String("true") || u == QLatin1String("da") || u == QLatin1String("1"))
            setValue(name, true);
        else if (u == QLatin1String("false") || u == QLatin1String("nu") || u == QLatin1String("0"))
            setValue(name, false);
        else
            throw StoreError(QStringLiteral("'%1' nu este o valoare logica valida").arg(text));
        return;
    }
    case FieldType::Text:
    case FieldType::Memo:
        setValue(name, text);
        return;
    }
}

// ---------------------------------------------------------------- indexes

QList<IndexDef> Table::indexDefs() const {
    requireActive();
    QList<IndexDef> out;
    QSqlQuery list(m_db.connection());
    if (!list.exec(QStringLiteral("PRAGMA index_list(%1)").arg(quoted(m_stored))))
        throw StoreFailure::error(m_db.path(), list.lastError());
    QList<QPair<QString, bool>> names;
    while (list.next())
        names.append({list.value(1).toString(), list.value(2).toInt() != 0});
    std::reverse(names.begin(), names.end()); // in the order they were made
    for (const auto& [name, unique] : names) {
        QSqlQuery info(m_db.connection());
        if (!info.exec(QStringLiteral("PRAGMA index_info(%1)").arg(quoted(name))))
            throw StoreFailure::error(m_db.path(), info.lastError());
        QList<QPair<int, QString>> cols;
        while (info.next())
            cols.append({info.value(0).toInt(), info.value(2).toString()});
        std::sort(cols.begin(), cols.end());
        QStringList fields;
        for (const auto& c : cols)
            fields << c.second;
        out.append({name, fields.join(QLatin1Char(';')), unique});
    }
    return out;
}

void Table::setIndexName(const QString& name) {
    QVector<int> order;
    if (isActive()) {
        QString wanted = name;
        if (wanted.isEmpty())
            wanted = Schema::primaryIndexName(m_stored);
        bool found = false;
        for (const IndexDef& d : indexDefs()) {
            if (d.name.compare(wanted, Qt::CaseInsensitive) != 0)
                continue;
            for (const QString& f : d.fields.split(QLatin1Char(';'))) {
                const int i = fieldIndex(f);
                if (i >= 0)
                    order << i;
            }
            found = true;
            break;
        }
        if (!found && !name.isEmpty())
            throw StoreError(
                QStringLiteral("Indexul %1 nu exista in tabelul %2").arg(name, m_fileName));
        // The pending row is saved in the order it was typed under; one that
        // cannot be saved keeps that order.
        checkBrowseMode();
    }
    const QString oldName = m_indexName;
    const QVector<int> oldOrder = m_orderFields;
    m_indexName = name;
    m_orderFields = order;
    if (isActive() && !m_all.empty()) {
        // Rows are made anew by the new order: the current one is found by id.
        const Row* currentRow = displayRow(m_cur);
        const qint64 current = currentRow ? currentRow->rowid : -1;
        try {
            sortRows();
        } catch (...) {
            m_indexName = oldName;
            m_orderFields = oldOrder;
            throw;
        }
        applyFilter();
        emitReset();
        int at = -1;
        for (int i = 0; current >= 0 && i < storedCount(); ++i)
            if (m_view[i]->rowid == current) {
                at = i;
                break;
            }
        setCurrent(at >= 0 ? at : (m_view.empty() ? -1 : 0));
    }
}

// ---------------------------------------------------------------- link

void Table::setMasterLink(DataSet* master, const QStringList& fields,
                          const QStringList& masterFields) {
    if (m_master)
        disconnect(m_master, nullptr, this, nullptr);
    if (m_masterTable)
        m_masterTable->m_details.removeAll(this);
    m_master = master;
    m_masterTable = qobject_cast<Table*>(master);
    if (m_masterTable)
        m_masterTable->m_details.append(this);
    m_linkFields = fields;
    m_masterFields = masterFields;
    if (m_master)
        connect(m_master, &DataSet::scrolled, this, &Table::masterMoved);
    if (isActive())
        reopenView(false);
}

void Table::setLinkEnabled(bool enabled) {
    if (m_linkEnabled == enabled)
        return;
    m_linkEnabled = enabled;
    if (isActive())
        reopenView(true);
}

bool Table::showsMasterRow() const {
    const QVector<QVariant> now = linkValues();
    bool same = m_linkLoaded && now.size() == m_loadedLink.size();
    for (int i = 0; same && i < now.size(); ++i)
        same = sameValue(now.at(i), m_loadedLink.at(i)) &&
               now.at(i).isNull() == m_loadedLink.at(i).isNull();
    return same;
}

void Table::masterMoved() {
    if (!isActive() || !m_linkEnabled || !m_master || m_inMasterMove)
        return;
    if (showsMasterRow() && m_stamp == m_db.changeStamp(m_stored))
        return;
    m_inMasterMove = true;
    try {
        reopenView(false);
    } catch (...) {
        m_inMasterMove = false;
        throw;
    }
    m_inMasterMove = false;
}

// Re-reads the rows under the link; the current row is kept when asked.
void Table::reopenView(bool keepCurrent) {
    checkBrowseMode();
    const qint64 mark = bookmark();
    loadRows();
    emitReset();
    int at = -1;
    if (keepCurrent && mark >= 0)
        for (int i = 0; i < static_cast<int>(m_view.size()); ++i)
            if (m_view[i]->rowid == mark) {
                at = i;
                break;
            }
    if (at < 0)
        at = m_view.empty() ? -1 : 0;
    setCurrent(at);
    m_bof = (at <= 0);
    m_eof = m_view.empty();
}

// ---------------------------------------------------------------- moving

int Table::storedCount() const {
    return static_cast<int>(m_view.size());
}

int Table::rowCount() const {
    return storedCount() + (m_state == TableState::Insert ? 1 : 0);
}

const Table::Row* Table::displayRow(int row) const {
    if (row < 0)
        return nullptr;
    if (m_state == TableState::Insert) {
        if (row == m_cur)
            return &m_buffer;
        if (row > m_cur)
            --row;
    }
    return row < storedCount() ? m_view[row] : nullptr;
}

int Table::viewIndexOf(const Row* row) const {
    if (!row)
        return -1;
    for (int i = 0; i < storedCount(); ++i)
        if (m_view[i] == row)
            return i;
    return -1;
}

int Table::recNo() const {
    if (m_calcRow >= 0)
        return m_calcRow + 1;
    return m_cur + 1;
}

void Table::notifyScrolled() {
    emit scrolled();
    if (afterScroll)
        afterScroll(*this);
}

void Table::setCurrent(int row, bool notify) {
    const bool changed = row != m_cur;
    m_cur = row;
    if (!quiet())
        emit currentChanged(m_cur);
    if (notify || changed)
        notifyScrolled();
}

void Table::moveTo(int row) {
    requireActive();
    if (row == m_cur && !isEditing()) {
        m_bof = m_eof = false;
        if (row <= 0)
            m_bof = true;
        return;
    }
    if (row == m_cur)
        return;
    // Posting may move rows: find the target again afterwards.
    const Row* target = displayRow(row);
    const bool targetIsNew = (m_state == TableState::Insert && row == m_cur);
    checkBrowseMode();
    int at = targetIsNew ? -1 : viewIndexOf(target);
    if (at < 0)
        at = std::clamp(row, storedCount() > 0 ? 0 : -1, storedCount() - 1);
    m_bof = m_eof = false;
    if (at == m_cur) {
        if (!quiet())
            emit currentChanged(m_cur);
        return;
    }
    setCurrent(at);
}

void Table::first() {
    requireActive();
    checkBrowseMode();
    if (m_cur != 0 || m_view.empty())
        setCurrent(m_view.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.empty();
}

void Table::last() {
    requireActive();
    checkBrowseMode();
    const int last = storedCount() - 1;
    if (m_cur != last)
        setCurrent(last);
    m_eof = true;
    m_bof = m_view.empty();
}

void Table::next() {
    requireActive();
    checkBrowseMode();
    if (m_cur + 1 < storedCount()) {
        setCurrent(m_cur + 1);
        m_bof = m_eof = false;
    } else {
        m_eof = true;
    }
}

void Table::prior() {
    requireActive();
    checkBrowseMode();
    if (m_cur > 0) {
        setCurrent(m_cur - 1);
        m_bof = m_eof = false;
    } else {
        m_bof = true;
    }
}

bool Table::locate(const QString& field, const QVariant& wanted) {
    requireActive();
    const int fi = fieldIndex(field);
    if (fi < 0)
        throw StoreError(
            QStringLiteral("Campul %1 nu exista in tabelul %2").arg(field, m_fileName));
    checkBrowseMode();
    ensureAllComplete();
    const QVariant key = toStored(m_fields.at(fi), wanted);
    for (int i = 0; i < storedCount(); ++i) {
        const QVariant v = stored(m_view[i], fi);
        if (v.isNull() == key.isNull() && sameValue(v, key)) {
            m_bof = m_eof = false;
            if (i != m_cur)
                setCurrent(i);
            return true;
        }
    }
    return false;
}

qint64 Table::bookmark() const {
    if (!isActive() || m_state == TableState::Insert)
        return -1;
    const Row* r = displayRow(m_cur);
    return r ? r->rowid : -1;
}

bool Table::gotoBookmark(qint64 mark) {
    requireActive();
    checkBrowseMode();
    for (int i = 0; i < storedCount(); ++i)
        if (m_view[i]->rowid == mark) {
            m_bof = m_eof = false;
            if (i != m_cur)
                setCurrent(i);
            return true;
        }
    return false;
}

qint64 Table::rowIdAt(int row) const {
    if (!isActive() || isNewRow(row))
        return -1;
    const Row* r = displayRow(row);
    return r ? r->rowid : -1;
}

void Table::scanField(int field,
                      const std::function<void(qint64, const StoredValue&)>& each) const {
    requireActive();
    if (field < 0 || field >= m_fields.size() || m_fields.at(field).calculated)
        throw StoreError(QStringLiteral("Campul %1 nu este memorat in tabelul %2")
                             .arg(m_fields.value(field).name, m_fileName));
    QVector<QVariant> link;
    const QString where = linkWhere(&link);
    if (m_linkLoaded) // the rows the view was read with
        link = m_loadedLink;
    eachRow(QStringLiteral("SELECT rowid, %1 FROM %2")
                    .arg(quoted(m_fields.at(field).name), quoted(m_stored)) +
                where,
            link, [&](sqlite3_stmt* st) {
                StoredValue v;
                switch (sqlite3_column_type(st, 1)) {
                case SQLITE_NULL:
                    break;
                case SQLITE_INTEGER:
                    v.kind = StoredValue::Integer;
                    v.integer = sqlite3_column_int64(st, 1);
                    break;
                case SQLITE_FLOAT:
                    v.kind = StoredValue::Real;
                    v.real = sqlite3_column_double(st, 1);
                    break;
                default:
                    v.kind = StoredValue::Text;
                    v.text = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                    v.bytes = sqlite3_column_bytes(st, 1);
                }
                each(sqlite3_column_int64(st, 0), v);
            });
}

// ---------------------------------------------------------------- editing

void Table::beginNewRow(bool atEnd) {
    requireActive();
    requireWritable();
    checkBrowseMode();
    // A detail row needs its master row stored first.
    if (auto* masterTable = qobject_cast<Table*>(m_master);
        masterTable && m_linkEnabled && masterTable->isEditing())
        masterTable->post();
    // The new row takes its link from the master's current row: the rows
    // around it must be that row's too.
    if (m_master && m_linkEnabled && !showsMasterRow())
        reopenView(false);
    // Where the row goes is known only now: saving a pending row moves rows.
    const int at = atEnd ? storedCount() : std::clamp(m_cur, 0, storedCount());
    m_buffer = Row();
    m_buffer.rowid = -1;
    m_edit = QVector<QVariant>(m_fields.size());
    if (m_master && m_linkEnabled) {
        const QVector<QVariant> link = linkValues();
        for (int i = 0; i < m_linkFields.size(); ++i) {
            const int fi = fieldIndex(m_linkFields.at(i));
            if (fi >= 0)
                m_edit[fi] = link.value(i);
        }
    }
    const int previous = m_cur;
    m_state = TableState::Insert;
    m_cur = at;
    m_initializing = true;
    try {
        if (onNewRecord)
            onNewRecord(*this);
    } catch (...) {
        m_initializing = false;
        m_state = TableState::Browse;
        m_cur = previous;
        m_buffer = Row();
        m_edit.clear();
        // Whatever showed the row in insert state during the handler (its
        // prompts repaint the window) shows the table as it is again.
        emit stateChanged();
        if (!quiet())
            emit currentChanged(m_cur);
        throw;
    }
    m_initializing = false;
    m_modified = false;
    m_bof = m_eof = false;
    if (!quiet()) {
        // The new row appears only now, complete with what onNewRecord set.
        m_state = TableState::Browse;
        m_cur = previous;
        emit aboutToInsertRow(at);
        m_state = TableState::Insert;
        m_cur = at;
        emit rowInserted(at);
    }
    emit stateChanged();
    setCurrent(at);
}

void Table::insert() {
    beginNewRow(false);
}

void Table::append() {
    beginNewRow(true);
}

void Table::edit() {
    requireActive();
    if (isEditing())
        return;
    requireWritable();
    if (m_view.empty()) {
        insert();
        return;
    }
    const Row* r = displayRow(m_cur);
    if (!r)
        throw StoreError(QStringLiteral("Nu exista o inregistrare curenta"));
    ensureComplete(r);
    m_edit = unpackAll(r);
    m_buffer = Row();
    m_buffer.rowid = r->rowid;
    m_state = TableState::Edit;
    m_modified = false;
    emit stateChanged();
    if (!quiet())
        emit rowChanged(m_cur);
}

std::vector<std::unique_ptr<Table::Row>>::iterator Table::findOwned(const Row* row) {
    return std::find_if(m_all.begin(), m_all.end(),
                        [row](const std::unique_ptr<Row>& r) { return r.get() == row; });
}

void Table::post() {
    requireActive();
    if (!isEditing())
        return;
    // The master's settling of its details does not post this row twice.
    const QScopedValueRollback<bool> posting(m_posting, true);
    flushTextHolders();
    if (!isEditing())
        return;
    QStringList cols;
    QVariantList binds;
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).calculated)
            continue;
        cols << quoted(m_fields.at(i).name);
        binds << m_edit.value(i);
    }
    QSqlQuery q(m_db.connection());
    const bool inserting = m_state == TableState::Insert;
    if (inserting) {
        QStringList marks;
        for (int i = 0; i < cols.size(); ++i)
            marks << QStringLiteral("?");
        q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(quoted(m_stored), cols.join(QStringLiteral(", ")),
                           marks.join(QStringLiteral(", "))));
    } else {
        if (!m_modified) { // nothing to write
            m_state = TableState::Browse;
            emit stateChanged();
            if (!quiet())
                emit rowChanged(m_cur);
            return;
        }
        QStringList sets;
        for (const QString& c : cols)
            sets << c + QStringLiteral(" = ?");
        q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                      .arg(quoted(m_stored), sets.join(QStringLiteral(", "))));
        binds << m_buffer.rowid;
    }
    for (const QVariant& b : binds)
        q.addBindValue(b);
    if (!q.exec())
        throw StoreFailure::error(m_db.path(), q.lastError());
    if (!inserting && q.numRowsAffected() == 0)
        throw StoreError(
            QStringLiteral("Inregistrarea a fost stearsa intre timp; reincarcati datele"));
    m_db.noteChange(m_stored);
    m_stamp = m_db.changeStamp(m_stored);

    const int oldDisplay = m_cur;
    Row* row = nullptr;
    if (inserting) {
        auto owned = std::make_unique<Row>();
        owned->rowid = q.lastInsertId().toLongLong();
        owned->packed = pack(m_edit);
        row = owned.get();
        m_all.push_back(std::move(owned));
    } else {
        row = const_cast<Row*>(displayRow(m_cur));
        row->packed = pack(m_edit);
    }
    m_state = TableState::Browse;
    m_modified = false;
    m_buffer = Row();
    m_edit.clear();

    // Keep the row in its place of the current order.
    auto owned = findOwned(row);
    std::unique_ptr<Row> holder = std::move(*owned);
    m_all.erase(owned);
    auto pos = std::upper_bound(
        m_all.begin(), m_all.end(), row,
        [this](const Row* r, const std::unique_ptr<Row>& o) { return lessThan(r, o.get()); });
    m_all.insert(pos, std::move(holder));
    if (!inserting)
        m_view.erase(std::find(m_view.begin(), m_view.end(), row));
    auto vpos = std::upper_bound(m_view.begin(), m_view.end(), row,
                                 [this](const Row* r, const Row* o) { return lessThan(r, o); });
    const int at = static_cast<int>(vpos - m_view.begin());
    m_view.insert(vpos, row);

    emit stateChanged();
    if (at == oldDisplay) {
        m_cur = at;
        if (!quiet())
            emit rowChanged(at);
        if (!quiet())
            emit currentChanged(at);
        emit scrolled();
    } else {
        emitReset();
        m_cur = -2; // force the notification
        setCurrent(at);
    }
}

void Table::cancel() {
    requireActive();
    if (m_state == TableState::Edit) {
        m_state = TableState::Browse;
        m_modified = false;
        m_buffer = Row();
        m_edit.clear();
        emit stateChanged();
        if (!quiet())
            emit rowChanged(m_cur);
        emit scrolled();
    } else if (m_state == TableState::Insert) {
        const int at = m_cur;
        if (!quiet())
            emit aboutToRemoveRow(at);
        m_state = TableState::Browse;
        m_modified = false;
        m_buffer = Row();
        m_edit.clear();
        m_cur = -2;
        if (!quiet())
            emit rowRemoved(at);
        emit stateChanged();
        setCurrent(std::min(at, storedCount() - 1));
        m_eof = m_view.empty();
    }
}

void Table::addTextHolder(const QObject* owner, std::function<void()> flush) {
    removeTextHolder(owner);
    m_textHolders.append({owner, std::move(flush)});
}

void Table::removeTextHolder(const QObject* owner) {
    m_textHolders.removeIf([owner](const auto& h) { return h.first == owner; });
}

void Table::flushTextHolders() {
    if (m_flushing)
        return;
    m_flushing = true;
    try {
        const auto holders = m_textHolders; // a handler may register or leave
        for (const auto& h : holders)
            if (h.second)
                h.second();
    } catch (...) {
        m_flushing = false;
        throw;
    }
    m_flushing = false;
}

void Table::settleDetails() {
    m_details.removeAll(nullptr);
    const auto details = m_details; // a handler may link or unlink
    for (const QPointer<Table>& d : details)
        if (d && d->isActive() && d->m_linkEnabled && !d->m_posting)
            d->checkBrowseMode();
}

void Table::checkBrowseMode() {
    settleDetails();
    if (!isEditing())
        return;
    flushTextHolders();
    if (!isEditing())
        return;
    if (m_modified)
        post();
    else
        cancel();
}

void Table::remove() {
    requireActive();
    settleDetails();
    if (m_state == TableState::Insert) {
        cancel();
        return;
    }
    if (m_view.empty() || m_cur < 0)
        throw StoreError(QStringLiteral("Nu exista nicio inregistrare de sters"));
    requireWritable();
    Row* row = m_view[m_cur];
    const qint64 rowid = row->rowid;
    try {
        // The row and whatever beforeDelete removes with it go together.
        Transaction tx(m_db);
        if (beforeDelete)
            beforeDelete(*this);
        QSqlQuery q(m_db.connection());
        q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(quoted(m_stored)));
        q.addBindValue(rowid);
        if (!q.exec())
            throw StoreFailure::error(m_db.path(), q.lastError());
        tx.commit();
    } catch (...) {
        // Linked tables re-read what the rollback brought back.
        emit scrolled();
        throw;
    }
    m_db.noteChange(m_stored);
    m_stamp = m_db.changeStamp(m_stored);
    // Pending changes of the row go with it, and only once it is gone: a
    // deletion that is declined or fails leaves them being edited.
    if (m_state == TableState::Edit) {
        m_state = TableState::Browse;
        m_modified = false;
        m_buffer = Row();
        m_edit.clear();
        emit stateChanged();
    }
    // beforeDelete may have moved the table; find the row again.
    const int at = viewIndexOf(row);
    if (at < 0) {
        refresh();
        return;
    }
    if (!quiet())
        emit aboutToRemoveRow(at);
    m_view.erase(m_view.begin() + at);
    m_all.erase(findOwned(row));
    m_cur = -2;
    if (!quiet())
        emit rowRemoved(at);
    setCurrent(std::min(at, storedCount() - 1));
    m_eof = m_view.empty();
    m_bof = m_cur <= 0;
}

void Table::refresh() {
    requireActive();
    checkBrowseMode();
    const qint64 mark = bookmark();
    const int oldRow = m_cur;
    if (m_stamp != m_db.changeStamp(m_stored)) {
        loadRows();
    } else {
        applyFilter();
    }
    emitReset();
    int at = -1;
    for (int i = 0; mark >= 0 && i < storedCount(); ++i)
        if (m_view[i]->rowid == mark) {
            at = i;
            break;
        }
    if (at < 0)
        at = m_view.empty() ? -1 : std::clamp(oldRow, 0, storedCount() - 1);
    m_cur = -2;
    setCurrent(at);
    m_eof = m_view.empty();
    m_bof = at <= 0;
}

void Table::setFiltered(bool on) {
    requireActive();
    if (on == m_filtered)
        return;
    checkBrowseMode();
    m_filtered = on;
    applyFilter();
    emitReset();
    m_cur = -2;
    setCurrent(m_view.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_view.empty();
}

// ---------------------------------------------------------------- notifications

void Table::emitReset() {
    if (m_disabled > 0) {
        m_resetPending = true;
        return;
    }
    emit aboutToReset();
    emit resetDone();
}

void Table::disableControls() {
    if (m_disabled++ == 0) {
        // The grids stop reading until enableControls() shows the result.
        emit aboutToReset();
        m_resetPending = true;
    }
}

void Table::enableControls() {
    if (m_disabled == 0)
        return;
    if (--m_disabled == 0 && m_resetPending) {
        m_resetPending = false;
        emit resetDone();
        emit currentChanged(m_cur);
    }
}
