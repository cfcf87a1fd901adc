#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

// The rows a report is laid out from, read once from first to last. The
// engine never sees a table: the caller adapts its query to this.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual QStringList fieldNames() const = 0;
    // Moves to the first row (on the first call) or the next; false at the end.
    virtual bool next() = 0;
    virtual QVariant value(int field) const = 0;
    // The number of rows when known, for the progress window; -1 otherwise.
    virtual qint64 sizeHint() const { return -1; }
};

// Rows held in memory: for tests, benchmarks and small derived lists.
class VectorRowSource : public RowSource {
public:
    VectorRowSource(QStringList names, std::vector<QVariantList> rows)
        : m_names(std::move(names)), m_rows(std::move(rows)) {}
    QStringList fieldNames() const override { return m_names; }
    bool next() override { return ++m_cur < static_cast<qint64>(m_rows.size()); }
    QVariant value(int field) const override { return m_rows[size_t(m_cur)].value(field); }
    qint64 sizeHint() const override { return qint64(m_rows.size()); }

private:
    QStringList m_names;
    std::vector<QVariantList> m_rows;
    qint64 m_cur = -1;
};
