#pragma once

#include "GridColumn.h"

#include <QPointer>
#include <QTableView>

class DBGridModel;
class Table;
class TXInPlaceEdit;

// Moves the focus to the next (forward) or previous control, in tab order,
// of the window that holds `control`. The move is posted, so that it
// happens after the key being handled.
void moveFocus(QWidget* control, bool forward);

// The program's data grid over a Table, in a form-filling keyboard style:
// the cell editor always shows in the current cell and never selects its
// text on entry, so typing adds to what the cell holds; Enter always leaves
// the cell, moving on to the next one and wrapping to the next row, where a
// new row is appended at the end.
class TDBGridNormal : public QTableView {
    Q_OBJECT
public:
    enum Option : unsigned {
        dgEditing = 0x0001,
        dgAlwaysShowEditor = 0x0002,
        dgTitles = 0x0004,
        dgIndicator = 0x0008,
        dgColumnResize = 0x0010,
        dgColLines = 0x0020,
        dgRowLines = 0x0040,
        dgTabs = 0x0080,
        dgRowSelect = 0x0100,
        dgAlwaysShowSelection = 0x0200,
        dgConfirmDelete = 0x0400,
        dgCancelOnExit = 0x0800,
        dgMultiSelect = 0x1000,
    };
    Q_DECLARE_FLAGS(Options, Option)

    explicit TDBGridNormal(QWidget* parent = nullptr);
    ~TDBGridNormal() override;

    void setTable(Table* table);
    Table* table() const;
    DBGridModel* gridModel() const { return m_model; }

    // The built-in columns; `columns()` gives them back in the user's
    // current order and widths.
    void setColumns(const QList<GridColumn>& columns);
    QList<GridColumn> columns() const;
    // The columns as the layout file keeps them: in the current order, with
    // a width only where it differs from the default one.
    QList<GridColumn> layoutColumns() const;
    // Takes the columns of a stored layout. Columns naming a field the table
    // does not have are dropped; when none is left the grid keeps its
    // columns and false is returned.
    bool applyLayout(const QList<GridColumn>& columns);
    // The width the grid gives a column that has none of its own.
    int defaultWidth(const GridColumn& column) const;

    // The main window's setting by default: editing, editor always shown,
    // titles, indicator, resizable columns, lines, Tab between cells,
    // selection always shown, untouched new row dropped on exit.
    Options options() const { return m_options; }
    void setOptions(Options options);
    // Ask "Delete record?" before Ctrl+Delete removes a row.
    void setConfirmDelete(bool on);
    bool confirmDelete() const { return m_options.testFlag(dgConfirmDelete); }
    // On (the default): entering a cell leaves its text unselected, the
    // caret at its end; also keeps the editor always shown.
    void setNoEditSelection(bool on);
    bool noEditSelection() const { return m_noEditSelection; }
    void setReadOnly(bool on);
    bool isReadOnly() const { return m_readOnly; }

    TXInPlaceEdit* inplaceEditor() const { return m_editor; }

    // The grid's own key handling, also for the keys its cell editor hands
    // on. Returns whether the key was used.
    bool gridKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The user has begun changing the cell's text: the row goes into edit.
    void editorEdited();
    // Gives the focus to the control before or after the grid in tab order.
    void leaveByTab(bool back);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void updateEditorGeometries() override;
    void updateGeometries() override;

private:
    bool canModify() const;
    void applyOptions();
    // Columns in their visual order, hidden ones skipped.
    int firstColumn() const;
    int lastColumn() const;
    int columnBeside(int logical, int step) const;
    void goColumn(int logical);
    bool tabKey(bool back);
    bool up();
    bool down();
    void page(int direction);
    void deleteCurrentRow();
    bool escape();
    void scrollColumns(int step);

    // The cell editor: what was typed goes into the field before the grid
    // moves, posts or is left.
    void flushEditor();
    bool commitEditor();
    void syncFromTable();
    void placeEditor(bool reload);
    void positionEditor();
    void loadEditor(bool enteringCell);
    void hideEditor();
    void onFocusChanged(QWidget* old, QWidget* now);
    void gridExit();

    QPointer<Table> m_table;
    DBGridModel* m_model = nullptr;
    TXInPlaceEdit* m_editor = nullptr;
    Options m_options;
    bool m_noEditSelection = true;
    bool m_readOnly = false;
    bool m_syncing = false;
    bool m_modelChanging = false; // between the model's "about to" and "done"
    bool m_editorActive = false;
    bool m_passingKey = false; // a typed key is on its way to the editor  // opened by a key while
                               // the editor is not always shown
    int m_editRow = -1;        // the cell the editor shows
    int m_editCol = -1;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TDBGridNormal::Options)
