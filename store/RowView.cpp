#include "RowView.h"

#include "Database.h"
#include "PackedRow.h"
#include "SqlText.h"

#include <QHash>
#include <algorithm>
#include <vector>

void RowView::setSource(Database* db, const QString& storedName, const QList<FieldDef>& fields) {
    m_db = db;
    m_table = storedName;
    m_fields = fields;
    m_storedCount = int(std::count_if(fields.cbegin(), fields.cend(),
                                      [](const FieldDef& f) { return !f.calculated; }));
}

void RowView::clear() {
    m_all.clear();
    m_view.clear();
}

QString RowView::storedColumns() const {
    QStringList cols;
    for (const FieldDef& f : m_fields)
        if (!f.calculated)
            cols << quoted(f.name);
    return cols.join(QStringLiteral(", "));
}

// Fills a row's stored fields from the statement's columns, starting at `col`.
void RowView::readValues(const Statement& st, int col, Row& r) const {
    // Built in a buffer that keeps its room, then copied once at its size.
    static thread_local QByteArray out;
    static thread_local std::vector<Cell> cells;
    out.resize(0);
    cells.resize(m_fields.size());
    st.cells(col, m_storedCount, cells.data());
    int c = 0;
    for (const FieldDef& f : m_fields) {
        if (f.calculated)
            PackedRow::putNull(out);
        else
            PackedRow::putCell(out, cells[size_t(c++)], f.type == FieldType::Number);
    }
    r.packed = QByteArray(out.constData(), out.size());
}

QByteArray RowView::emptyValues() const {
    return PackedRow::pack({}, int(m_fields.size()));
}

void RowView::load(const Selection& s, bool whole) {
    std::vector<std::unique_ptr<Row>> rows;
    const QString columns =
        whole ? QStringLiteral("rowid, ") + storedColumns() : QStringLiteral("rowid");
    Statement st = m_db->prepare(QStringLiteral("SELECT %1 FROM %2").arg(columns, quoted(m_table)) +
                                 s.where + s.orderBy);
    st.bindAll(s.binds);
    while (st.step()) {
        auto r = std::make_unique<Row>();
        r->rowid = st.integer(0);
        if (whole)
            readValues(st, 1, *r);
        rows.push_back(std::move(r));
    }
    m_all = std::move(rows);
}

void RowView::sort(const Selection& s) {
    // Only rows whose values were read need to be carried over; the others
    // are row ids alone and are made anew in the new order.
    QHash<qint64, Row*> kept;
    for (const auto& r : m_all)
        if (r->complete())
            kept.insert(r->rowid, r.get());
    std::vector<std::unique_ptr<Row>> sorted;
    sorted.reserve(m_all.size());
    QHash<qint64, std::size_t> placeOf;
    Statement st = m_db->prepare(QStringLiteral("SELECT rowid FROM %1").arg(quoted(m_table)) +
                                 s.where + s.orderBy);
    st.bindAll(s.binds);
    while (st.step()) {
        const qint64 id = st.integer(0);
        if (!kept.isEmpty() && kept.contains(id)) {
            placeOf.insert(id, sorted.size());
            sorted.emplace_back();
        } else {
            auto r = std::make_unique<Row>();
            r->rowid = id;
            sorted.push_back(std::move(r));
        }
    }
    for (auto& r : m_all)
        if (r->complete()) {
            const auto at = placeOf.constFind(r->rowid);
            if (at != placeOf.constEnd())
                sorted[at.value()] = std::move(r);
        }
    m_all = std::move(sorted);
}

void RowView::complete(const Row* row) const {
    if (!row || row->complete() || row->rowid < 0)
        return;
    Row* r = const_cast<Row*>(row);
    r->packed = readStored(r->rowid);
    if (r->packed.isNull()) // deleted behind our back: shows empty until the next refresh
        r->packed = emptyValues();
}

void RowView::completeNear(int viewIndex) const {
    constexpr int Before = 10, Rows = 60;
    QHash<qint64, Row*> wanted;
    const int n = int(m_view.size());
    for (int i = std::max(0, viewIndex - Before); i < n && wanted.size() < Rows; ++i)
        if (!m_view[size_t(i)]->complete() && m_view[size_t(i)]->rowid >= 0)
            wanted.insert(m_view[size_t(i)]->rowid, m_view[size_t(i)]);
    if (wanted.isEmpty())
        return;
    QStringList marks;
    QVariantList ids;
    for (auto it = wanted.cbegin(); it != wanted.cend(); ++it) {
        marks << QStringLiteral("?");
        ids << QVariant(qlonglong(it.key()));
    }
    Statement st =
        m_db->prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE rowid IN (%3)")
                          .arg(storedColumns(), quoted(m_table), marks.join(QLatin1Char(','))));
    st.bindAll(ids);
    readInto(st, wanted);
}

QByteArray RowView::readStored(qint64 rowid) const {
    Statement st = m_db->prepare(
        QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?").arg(storedColumns(), quoted(m_table)));
    st.bind(1, QVariant(qlonglong(rowid)));
    if (!st.step())
        return QByteArray();
    Row r;
    readValues(st, 0, r);
    return r.packed;
}

void RowView::completeAll(const Selection& s) const {
    std::size_t missing = 0;
    for (const auto& r : m_all)
        missing += r->complete() ? 0 : 1;
    if (missing == 0)
        return;
    if (missing < 64) {
        for (const auto& r : m_all)
            complete(r.get());
        return;
    }
    QHash<qint64, Row*> byId;
    byId.reserve(qsizetype(missing));
    for (const auto& r : m_all)
        if (!r->complete())
            byId.insert(r->rowid, r.get());
    Statement st = m_db->prepare(
        QStringLiteral("SELECT rowid, %1 FROM %2").arg(storedColumns(), quoted(m_table)) + s.where);
    st.bindAll(s.binds);
    readInto(st, byId);
}

void RowView::readInto(Statement& st, const QHash<qint64, Row*>& byId) const {
    while (st.step())
        if (Row* r = byId.value(st.integer(0)))
            readValues(st, 1, *r);
    for (Row* r : byId)
        if (!r->complete()) // deleted behind our back
            r->packed = emptyValues();
}

void RowView::filter(const std::function<bool(const Row*)>& accepts) {
    m_view.clear();
    m_view.reserve(m_all.size());
    for (const auto& r : m_all)
        if (!accepts || accepts(r.get()))
            m_view.push_back(r.get());
}

int RowView::place(Row* row, std::unique_ptr<Row> added,
                   const std::function<bool(const Row*, const Row*)>& less) {
    std::unique_ptr<Row> holder = std::move(added);
    if (!holder) {
        auto owned = std::find_if(m_all.begin(), m_all.end(),
                                  [row](const std::unique_ptr<Row>& r) { return r.get() == row; });
        holder = std::move(*owned);
        m_all.erase(owned);
        const auto shown = std::find(m_view.begin(), m_view.end(), row);
        if (shown != m_view.end())
            m_view.erase(shown);
    }
    auto pos = std::upper_bound(
        m_all.begin(), m_all.end(), row,
        [&less](const Row* r, const std::unique_ptr<Row>& o) { return less(r, o.get()); });
    m_all.insert(pos, std::move(holder));
    auto vpos = std::upper_bound(m_view.begin(), m_view.end(), row,
                                 [&less](const Row* r, const Row* o) { return less(r, o); });
    const int at = static_cast<int>(vpos - m_view.begin());
    m_view.insert(vpos, row);
    return at;
}

void RowView::erase(Row* row) {
    const auto v = std::find(m_view.begin(), m_view.end(), row);
    if (v != m_view.end())
        m_view.erase(v);
    m_all.erase(std::find_if(m_all.begin(), m_all.end(),
                             [row](const std::unique_ptr<Row>& r) { return r.get() == row; }));
}

int RowView::indexOf(const Row* row) const {
    if (!row)
        return -1;
    const auto it = std::find(m_view.begin(), m_view.end(), row);
    return it == m_view.end() ? -1 : static_cast<int>(it - m_view.begin());
}

int RowView::indexOfId(qint64 rowid) const {
    for (std::size_t i = 0; i < m_view.size(); ++i)
        if (m_view[i]->rowid == rowid)
            return static_cast<int>(i);
    return -1;
}
