#pragma once

#include <QLineEdit>
#include <QStringList>

class QListWidget;
class TDBGridNormal;

// The data grid's cell editor. It never selects its text on its own when
// the grid asks for that (NoEditSelection): the caret goes to the end, so
// typing adds to the cell. Keys that move between cells and rows are handed
// to the grid. A column with a pick list gets a drop-down list that also
// accepts typed text.
class TXInPlaceEdit : public QLineEdit {
    Q_OBJECT
public:
    struct Cell {
        QString text;
        bool readOnly = false;
        Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
        int maxLength = 32767;
        QStringList pickList;
        int dropDownRows = 7;
    };

    explicit TXInPlaceEdit(TDBGridNormal* grid);

    // Shows a cell's value; entering a cell places the caret.
    void load(const Cell& cell, bool enteringCell);
    // The user changed the text since it was loaded.
    bool isDirty() const { return m_dirty; }
    void setDirty(bool dirty) { m_dirty = dirty; }

    void setNoEditSelection(bool on) { m_noEditSelection = on; }
    bool noEditSelection() const { return m_noEditSelection; }

    bool hasPickList() const { return !m_pickList.isEmpty(); }
    bool isListOpen() const;
    void openList();
    void closeList();
    QListWidget* listWidget() const { return m_list; }

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void placeCaret();
    void userEdited();
    void takeFromList();

    TDBGridNormal* m_grid;
    bool m_noEditSelection = true;
    bool m_dirty = false;
    QStringList m_pickList;
    int m_dropDownRows = 7;
    QAction* m_dropAction = nullptr;
    QListWidget* m_list = nullptr;
};
