#pragma once

#include "Schema.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <vector>

class Database;

// The rows a table shows: their ids in the order of the current index,
// read from the index alone, and the values of each row read when first
// needed and kept packed. `all` holds every row under the link; the view
// is those the filter lets through, in the same order.
class RowView {
public:
    struct Row {
        qint64 rowid = 0;
        QByteArray packed; // null until the values are read
        bool complete() const { return !packed.isNull(); }
    };
    // Which rows, in which order: SQL put after the table's name, with
    // the values its parameters take.
    struct Selection {
        QString where; // " WHERE ..." or empty
        QVariantList binds;
        QString orderBy; // " ORDER BY ..."
    };

    // What the rows are read from: the table's stored name and its fields
    // (calculated fields take no column and are kept as NULL).
    void setSource(Database* db, const QString& storedName, const QList<FieldDef>& fields);
    void clear();

    // Reads the row ids; `whole` reads their values too (the few rows of
    // one place under a link: a grid shows them all straight away).
    void load(const Selection& s, bool whole);
    // Puts the rows in a new order, as the database reads it; a read that
    // fails half-way leaves them as they were.
    void sort(const Selection& s);
    // Reads a row's values when not read yet; a row deleted behind our back
    // shows empty until the next load.
    void complete(const Row* row) const;
    // Reads, in one statement, the values of the rows of the view around
    // `viewIndex` not read yet (a screenful and more): a grid that scrolls
    // does not ask the server once a row.
    void completeNear(int viewIndex) const;
    // The row's values as stored now, packed; a null array when the row is
    // gone. Nothing kept changes.
    QByteArray readStored(qint64 rowid) const;
    // Reads the values of every row not read yet, in one pass.
    void completeAll(const Selection& s) const;
    // The view anew: the rows that `accepts` (when given) lets through.
    void filter(const std::function<bool(const Row*)>& accepts);

    // Puts a row in its place of the current order after its values
    // changed (or as a new row, owned from now on); returns its index in
    // the view.
    int place(Row* row, std::unique_ptr<Row> added,
              const std::function<bool(const Row*, const Row*)>& less);
    void erase(Row* row);

    int size() const { return static_cast<int>(m_view.size()); }
    bool empty() const { return m_view.empty(); }
    Row* at(int i) const { return m_view[std::size_t(i)]; }
    int indexOf(const Row* row) const;
    int indexOfId(qint64 rowid) const;
    // An empty row, as a deleted one reads.
    QByteArray emptyValues() const;

private:
    QString storedColumns() const;
    void readValues(const class Statement& st, int col, Row& r) const;
    // Fills the rows of `byId` from a statement of (rowid, stored columns);
    // a row it does not return was deleted behind our back and reads empty.
    void readInto(class Statement& st, const QHash<qint64, Row*>& byId) const;

    Database* m_db = nullptr;
    QString m_table;
    QList<FieldDef> m_fields;
    int m_storedCount = 0;                   // the fields read from the database
    std::vector<std::unique_ptr<Row>> m_all; // rows under the link, in order
    std::vector<Row*> m_view;                // rows passing the filter, in order
};
