#pragma once

#include "GridColumn.h"

#include <QTableView>

class Table;
class DBGridModel;

// The program's data grid over a Table.
class TDBGridNormal : public QTableView {
    Q_OBJECT
public:
    explicit TDBGridNormal(QWidget* parent = nullptr);

    void setTable(Table* table);
    Table* table() const { return m_table; }
    DBGridModel* gridModel() const { return m_model; }

    // The built-in columns; `columns()` gives them back in the user's
    // current order and widths.
    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const;
    // The width the grid gives a column that has none of its own.
    int defaultWidth(const GridColumn& column) const;

    // Ask "Delete record?" before Ctrl+Delete removes a row.
    void setConfirmDelete(bool on) { m_confirmDelete = on; }
    bool confirmDelete() const { return m_confirmDelete; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void syncFromTable();
    void onViewCurrentChanged(const QModelIndex& current);
    void deleteCurrentRow();

    Table* m_table = nullptr;
    DBGridModel* m_model = nullptr;
    bool m_syncing = false;
    bool m_confirmDelete = false;
};
