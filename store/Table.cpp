#include "Table.h"

#include "Database.h"
#include "FieldValues.h"
#include "PackedRow.h"
#include "SqlText.h"
#include "StoreError.h"

#include <QScopedValueRollback>
#include <algorithm>

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
    m_rows.setSource(&m_db, m_stored, m_fields);

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
        m_rows.clear();
        throw;
    }
    m_modified = false;
    emitReset();
    setCurrent(m_rows.empty() ? -1 : 0, false);
    m_bof = true;
    m_eof = m_rows.empty();
    emit stateChanged();
    notifyScrolled();
}

QList<FieldDef> Table::storedFields() const {
    const QString stored = m_db.resolveTable(m_fileName);
    QList<FieldDef> fields;
    for (const auto& [name, declared] : m_db.connection().columns(stored))
        fields << Schema::fieldFromDeclared(name, declared);
    if (fields.isEmpty())
        throw StoreError(QStringLiteral("Tabelul %1 nu poate fi citit").arg(m_fileName));
    return fields;
}

void Table::close() {
    if (!isActive())
        return;
    m_state = TableState::Inactive;
    m_modified = false;
    m_rows.clear();
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
        out << (fi >= 0 ? FieldValues::toStored(m_fields.at(fi), v) : v);
    }
    return out;
}

RowView::Selection Table::selection() const {
    RowView::Selection s;
    s.orderBy = orderBy();
    if (!(m_master && m_linkEnabled && !m_linkFields.isEmpty()))
        return s;
    s.binds = linkValues();
    QStringList cond;
    for (const QString& f : m_linkFields)
        cond << quoted(f) + QStringLiteral(" = ?");
    s.where = QStringLiteral(" WHERE ") + cond.join(QStringLiteral(" AND "));
    return s;
}

QString Table::orderBy() const {
    const QString nulls = m_db.connection().nullsFirst();
    QStringList fields;
    for (int f : m_orderFields)
        fields << quoted(m_fields.at(f).name) + nulls;
    fields << QStringLiteral("rowid");
    return QStringLiteral(" ORDER BY ") + fields.join(QStringLiteral(", "));
}

QVariant Table::stored(const Row* row, int field) const {
    if (!row)
        return {};
    if (row == &m_buffer)
        return m_edit.value(field);
    m_rows.complete(row);
    return PackedRow::toVariant(PackedRow::at(row->packed, field));
}

// The view is the ordered list of row ids, read from the index alone; the
// values follow when something reads them. The few rows of one place under
// a link are read whole at once.
void Table::loadRows() {
    const RowView::Selection s = selection();
    // A master row without its key yet (a new place) has no details: `= NULL`
    // matches nothing, and asking the server would cost a round trip.
    if (!s.where.isEmpty() &&
        std::all_of(s.binds.cbegin(), s.binds.cend(), [](const QVariant& v) { return v.isNull(); }))
        m_rows.clear();
    else
        m_rows.load(s, !s.where.isEmpty());
    m_loadedLink = s.binds;
    m_linkLoaded = !s.where.isEmpty();
    m_stamp = m_db.changeStamp(m_stored);
    applyFilter();
}

void Table::ensureComplete(const Row* row) const {
    m_rows.complete(row);
}

void Table::ensureAllComplete() const {
    m_rows.completeAll(selection());
}

bool Table::lessThan(const Row* a, const Row* b) const {
    for (int f : m_orderFields) {
        const int c = FieldValues::compare(stored(a, f), stored(b, f));
        if (c != 0)
            return c < 0;
    }
    return a->rowid < b->rowid;
}

// Puts the kept rows in the order of the current index, as the database
// reads it from the index itself.
void Table::sortRows() {
    m_rows.sort(selection());
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
    if (!(m_filtered && onFilterRecord)) {
        m_rows.filter({});
        return;
    }
    ensureAllComplete();
    m_rows.filter([this](const Row* r) { return accepts(r); });
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

QVariant Table::value(int field) const {
    if (field < 0 || field >= m_fields.size())
        return {};
    if (m_filterRow) {
        return FieldValues::toTyped(m_fields.at(field), stored(m_filterRow, field));
    }
    if (m_fields.at(field).calculated) {
        if (m_calcRow >= 0)
            return m_calcValues.value(field);
        return m_cur >= 0 ? calcValue(m_cur, field) : QVariant();
    }
    if (isEditing())
        return FieldValues::toTyped(m_fields.at(field), m_edit.value(field));
    const Row* r = displayRow(m_cur);
    return r ? FieldValues::toTyped(m_fields.at(field), stored(r, field)) : QVariant();
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
    const PackedRow::Value v = PackedRow::at(r->packed, field);
    // Read for every place at every filter keystroke: texts straight from their bytes.
    return v.kind == PackedRow::Text ? QString::fromUtf8(v.data, v.bytes)
                                     : PackedRow::toVariant(v).toString();
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
    const PackedRow::Value v = PackedRow::at(r->packed, field);
    if (v.kind == PackedRow::Text)
        return QByteArrayView(v.data, v.bytes);
    *spare = PackedRow::toVariant(v).toString().toUtf8();
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
        return FieldValues::toTyped(m_fields.at(field), m_edit.value(field));
    const Row* r = displayRow(row);
    // On a server a grid's unread rows are read a screenful at a time.
    if (r && !r->complete() && r != &m_buffer && !m_db.server().isEmpty())
        m_rows.completeNear(m_state == TableState::Insert && row > m_cur ? row - 1 : row);
    return r ? FieldValues::toTyped(m_fields.at(field), stored(r, field)) : QVariant();
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
    m_edit[i] = FieldValues::toStored(f, v);
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
    setValue(name, FieldValues::fromText(fieldDef(name), text));
}

// ---------------------------------------------------------------- indexes

QList<IndexDef> Table::indexDefs() const {
    return m_db.connection().indexes(isActive() ? m_stored : m_db.resolveTable(m_fileName));
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
        // The rows are in that order already (chosen before they were read).
        if (!m_rows.empty() && order == m_orderFields &&
            name.compare(m_indexName, Qt::CaseInsensitive) == 0)
            return;
    }
    const QString oldName = m_indexName;
    const QVector<int> oldOrder = m_orderFields;
    m_indexName = name;
    m_orderFields = order;
    if (isActive() && m_rows.size() > 0) {
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
        if (current >= 0)
            at = m_rows.indexOfId(current);
        setCurrent(at >= 0 ? at : (m_rows.empty() ? -1 : 0));
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
        same = FieldValues::same(now.at(i), m_loadedLink.at(i)) &&
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
        at = m_rows.indexOfId(mark);
    if (at < 0)
        at = m_rows.empty() ? -1 : 0;
    setCurrent(at);
    m_bof = (at <= 0);
    m_eof = m_rows.empty();
}

// ---------------------------------------------------------------- moving

int Table::storedCount() const {
    return m_rows.size();
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
    return row < storedCount() ? m_rows.at(row) : nullptr;
}

int Table::viewIndexOf(const Row* row) const {
    return m_rows.indexOf(row);
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
    if (m_cur != 0 || m_rows.empty())
        setCurrent(m_rows.empty() ? -1 : 0);
    m_bof = true;
    m_eof = m_rows.empty();
}

void Table::last() {
    requireActive();
    checkBrowseMode();
    const int last = storedCount() - 1;
    if (m_cur != last)
        setCurrent(last);
    m_eof = true;
    m_bof = m_rows.empty();
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
    const QVariant key = FieldValues::toStored(m_fields.at(fi), wanted);
    for (int i = 0; i < storedCount(); ++i) {
        const QVariant v = stored(m_rows.at(i), fi);
        if (v.isNull() == key.isNull() && FieldValues::same(v, key)) {
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
    const int i = m_rows.indexOfId(mark);
    if (i < 0)
        return false;
    m_bof = m_eof = false;
    if (i != m_cur)
        setCurrent(i);
    return true;
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
    RowView::Selection sel = selection();
    if (m_linkLoaded && !sel.where.isEmpty()) // the rows the view was read with
        sel.binds = m_loadedLink;
    Statement st = m_db.prepare(QStringLiteral("SELECT rowid, %1 FROM %2")
                                    .arg(quoted(m_fields.at(field).name), quoted(m_stored)) +
                                sel.where);
    st.bindAll(sel.binds);
    while (st.step()) {
        StoredValue v;
        const Cell c = st.cell(1);
        switch (c.kind) {
        case ColumnKind::Null:
            break;
        case ColumnKind::Integer:
            v.kind = StoredValue::Integer;
            v.integer = c.integer;
            break;
        case ColumnKind::Real:
            v.kind = StoredValue::Real;
            v.real = c.real;
            break;
        case ColumnKind::Text:
        case ColumnKind::Blob:
            v.kind = StoredValue::Text;
            v.text = c.bytes.data();
            v.bytes = int(c.bytes.size());
        }
        each(st.integer(0), v);
    }
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
