#pragma once

#include "GridColumn.h"
#include "Streeming.h"

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
    // Keeps the width the user gave a column (no reset of the view).
    void setColumnWidth(int column, int width);
    // What the column shows of its stored properties.
    const ColumnLook& lookOf(int column) const { return m_looks.at(column); }
    // The colour of the titles that have none of their own.
    void setTitleColor(const QColor& color) { m_titleColor = color; }
    // A row's field as the grid and the data edits show it.
    static QString fieldText(const Table& table, int row, int field);
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
    QList<ColumnLook> m_looks;
    QColor m_titleColor;
    int m_indicatorRow = -1;
};
