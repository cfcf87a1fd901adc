#pragma once

#include "GridColumn.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include "Table.h"

class Table;

// The Qt model over a Table for the data grids: one row per display row of
// the table (the unposted new row included), one column per grid column.
// It follows the table's notifications instead of re-reading it.
class DBGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DBGridModel(Table* table, QObject* parent = nullptr);

    Table* table() const { return m_table; }
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return m_columns; }
    // The table field shown in a column; -1 when the table lacks it.
    int fieldOf(int column) const;
    QString titleOf(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    void onCurrentChanged(int row);

    QPointer<Table> m_table;
    QList<GridColumn> m_columns;
    int m_indicatorRow = -1;
};
