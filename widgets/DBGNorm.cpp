#include "DBGNorm.h"

#include "DBGridModel.h"
#include "Guard.h"
#include "Prompts.h"
#include "Table.h"
#include "XInPlaceEdit.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>

// ---------------------------------------------------------------- moving the focus

namespace {

bool takesTabFocus(const QWidget* w, const QWidget* form) {
    return w->window() == form && (w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus &&
           w->isEnabled() && w->isVisible() && !w->focusProxy();
}

} // namespace

void moveFocus(QWidget* control, bool forward) {
    if (!control)
        return;
    QWidget* form = control->window();
    QPointer<QWidget> from(control);
    QMetaObject::invokeMethod(
        form,
        [form, from, forward] {
            QWidget* start = form->focusWidget();
            if (!start)
                start = from;
            if (!start)
                return;
            QWidget* w = start;
            do {
                w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
                if (takesTabFocus(w, form)) {
                    w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
                    return;
                }
            } while (w && w != start);
        },
        Qt::QueuedConnection);
}

// ---------------------------------------------------------------- grid

TDBGridNormal::TDBGridNormal(QWidget* parent) : QTableView(parent) {
    setEditTriggers(QAbstractItemView::NoEditTriggers); // the grid's own editor only
    setAlternatingRowColors(false);
    setWordWrap(false);
    setFocusPolicy(Qt::StrongFocus);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 5);
    verticalHeader()->setMinimumWidth(14);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    verticalHeader()->setHighlightSections(false);

    // Beyond the last row and column the grid shows its own colour, not its
    // parent's.
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    setPalette(pal);

    m_editor = new TXInPlaceEdit(this);
    m_editor->hide();

    // A click on the indicator makes that row current.
    connect(verticalHeader(), &QHeaderView::sectionPressed, this, [this](int row) {
        if (!m_model || row < 0 || row >= m_model->rowCount())
            return;
        const int col = currentIndex().isValid() ? currentIndex().column() : firstColumn();
        if (col >= 0)
            setCurrentIndex(m_model->index(row, col));
    });
    // Widths the user drags are kept with the columns (hidden ones keep theirs).
    connect(horizontalHeader(), &QHeaderView::sectionResized, this,
            [this](int logical, int, int size) {
                if (m_model && size > 0 && !isColumnHidden(logical))
                    m_model->setColumnWidth(logical, size);
                positionEditor();
            });
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, [this] { positionEditor(); });
    connect(qApp, &QApplication::focusChanged, this, &TDBGridNormal::onFocusChanged);

    m_options = Options(dgEditing | dgAlwaysShowEditor | dgTitles | dgIndicator | dgColumnResize |
                        dgColLines | dgRowLines | dgTabs | dgAlwaysShowSelection | dgCancelOnExit);
    applyOptions();
}

TDBGridNormal::~TDBGridNormal() {
    // Nothing may reach this grid while its children go.
    disconnect(qApp, nullptr, this, nullptr);
    if (m_table)
        m_table->removeTextHolder(this);
    delete m_editor;
    m_editor = nullptr;
}

Table* TDBGridNormal::table() const {
    return m_table;
}

void TDBGridNormal::setTable(Table* table) {
    if (m_table)
        m_table->removeTextHolder(this);
    m_table = table;
    m_model = new DBGridModel(table, this);
    m_model->setTitleColor(QColor(0x80, 0x00, 0x00)); // titles in maroon
    // Connected ahead of the view: while rows come and go the view moves its
    // current cell on its own, which must not move the table in mid-change.
    const auto changing = [this] { m_modelChanging = true; };
    connect(m_model, &QAbstractItemModel::rowsAboutToBeInserted, this, changing);
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this, changing);
    connect(m_model, &QAbstractItemModel::modelAboutToBeReset, this, changing);
    setModel(m_model);
    connect(table, &Table::currentChanged, this, [this] { syncFromTable(); });
    connect(table, &Table::stateChanged, this, [this] {
        // A row that was posted or cancelled: the editor shows what is stored.
        if (m_table && !m_table->isEditing())
            placeEditor(true);
    });
    const auto changed = [this] {
        m_modelChanging = false;
        syncFromTable();
    };
    connect(m_model, &QAbstractItemModel::modelReset, this, changed);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, changed);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, changed);
    table->addTextHolder(this, [this] { flushEditor(); });
}

// ---------------------------------------------------------------- options

void TDBGridNormal::setOptions(Options options) {
    m_options = options;
    applyOptions();
}

void TDBGridNormal::setConfirmDelete(bool on) {
    m_options.setFlag(dgConfirmDelete, on);
}

void TDBGridNormal::setNoEditSelection(bool on) {
    m_noEditSelection = on;
    m_editor->setNoEditSelection(on);
    if (on)
        m_options |= dgAlwaysShowEditor;
    applyOptions();
}

void TDBGridNormal::setReadOnly(bool on) {
    m_readOnly = on;
    placeEditor(true);
}

bool TDBGridNormal::canModify() const {
    return m_table && m_table->isActive() && m_options.testFlag(dgEditing) && !m_readOnly;
}

void TDBGridNormal::applyOptions() {
    horizontalHeader()->setVisible(m_options.testFlag(dgTitles));
    verticalHeader()->setVisible(m_options.testFlag(dgIndicator));
    const bool resize = m_options.testFlag(dgColumnResize);
    horizontalHeader()->setSectionResizeMode(resize ? QHeaderView::Interactive
                                                    : QHeaderView::Fixed);
    horizontalHeader()->setSectionsMovable(resize);
    setShowGrid(m_options & (dgColLines | dgRowLines));
    // Tab is handled in event(): Qt's own item navigation would also move
    // cells whenever the focus is passed on.
    setTabKeyNavigation(false);
    setSelectionBehavior(m_options.testFlag(dgRowSelect) ? SelectRows : SelectItems);
    setSelectionMode(m_options.testFlag(dgMultiSelect) ? ExtendedSelection : SingleSelection);
    placeEditor(false);
}

// ---------------------------------------------------------------- columns

int TDBGridNormal::defaultWidth(const GridColumn& column) const {
    int chars = 10;
    if (m_table && m_table->isActive()) {
        const int f = m_table->fieldIndex(column.fieldName);
        if (f >= 0) {
            const FieldDef& d = m_table->fields().at(f);
            switch (d.type) {
            case FieldType::Text:
                chars = d.size;
                break;
            case FieldType::LongInt:
                chars = 11;
                break;
            case FieldType::Logical:
                chars = 5;
                break;
            default:
                chars = 10;
            }
        }
    }
    const QFontMetrics fm(font());
    int w = chars * fm.horizontalAdvance(QLatin1Char('0')) + 4;
    const QString title = column.title.isEmpty() ? column.fieldName : column.title;
    w = std::max(w, QFontMetrics(horizontalHeader()->font()).horizontalAdvance(title) + 4);
    return w;
}

void TDBGridNormal::setColumns(const QList<GridColumn>& columns) {
    if (!m_model)
        return;
    m_editRow = m_editCol = -1;
    m_model->setColumns(columns);
    QHeaderView* h = horizontalHeader();
    for (int i = 0; i < columns.size(); ++i) {
        if (h->visualIndex(i) != i)
            h->moveSection(h->visualIndex(i), i);
        const GridColumn& c = columns.at(i);
        setColumnWidth(i, c.width > 0 ? c.width : defaultWidth(c));
        setColumnHidden(i, !c.visible);
    }
    syncFromTable();
}

QList<GridColumn> TDBGridNormal::columns() const {
    QList<GridColumn> out;
    if (!m_model)
        return out;
    const QList<GridColumn>& built = m_model->columns();
    const QHeaderView* h = horizontalHeader();
    for (int v = 0; v < built.size(); ++v) {
        const int logical = h->logicalIndex(v);
        GridColumn c = built.at(logical);
        // A hidden column keeps the width it had.
        if (!isColumnHidden(logical) && columnWidth(logical) > 0)
            c.width = columnWidth(logical);
        out << c;
    }
    return out;
}

QList<GridColumn> TDBGridNormal::layoutColumns() const {
    QList<GridColumn> out = columns();
    for (GridColumn& c : out)
        if (c.width == defaultWidth(c))
            c.width = -1;
    return out;
}

bool TDBGridNormal::applyLayout(const QList<GridColumn>& columns) {
    QList<GridColumn> kept;
    for (GridColumn c : columns) {
        if (!m_table || m_table->fieldIndex(c.fieldName) < 0)
            continue;
        // Widths beyond what a screen shows would only upset the view.
        if (c.width <= 0)
            c.width = -1;
        c.width = std::min(c.width, 4000);
        kept << c;
    }
    if (kept.isEmpty())
        return false;
    setColumns(kept);
    return true;
}

int TDBGridNormal::firstColumn() const {
    return columnBeside(-1, 1);
}

int TDBGridNormal::lastColumn() const {
    return m_model ? columnBeside(horizontalHeader()->logicalIndex(m_model->columnCount()), -1)
                   : -1;
}

// The visible column next to `logical` in the visual order (from the edge
// when `logical` is -1 going right, or past the end going left).
int TDBGridNormal::columnBeside(int logical, int step) const {
    if (!m_model)
        return -1;
    const QHeaderView* h = horizontalHeader();
    const int n = m_model->columnCount();
    int v = logical >= 0 ? h->visualIndex(logical) : (step > 0 ? -1 : n);
    for (v += step; v >= 0 && v < n; v += step) {
        const int l = h->logicalIndex(v);
        if (!isColumnHidden(l))
            return l;
    }
    return -1;
}

void TDBGridNormal::goColumn(int logical) {
    if (!m_model || !m_table || logical < 0 || m_table->currentRow() < 0)
        return;
    const QModelIndex want = m_model->index(m_table->currentRow(), logical);
    // The cell is settled before the highlight leaves it, so that a message
    // about its value shows over it, and a refused one keeps it current.
    if (want != currentIndex() && commitEditor())
        setCurrentIndex(want);
}

// ---------------------------------------------------------------- keys

bool TDBGridNormal::gridKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (!m_table || !m_model || !m_table->isActive())
        return false;
    const Qt::KeyboardModifiers mods = modifiers & ~Qt::KeypadModifier;
    const bool rowSelect = m_options.testFlag(dgRowSelect);
    const int cur = currentIndex().isValid() ? currentIndex().column() : -1;
    const bool inLast = cur < 0 || cur == lastColumn();
    const bool inFirst = cur < 0 || cur == firstColumn();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (mods != Qt::NoModifier)
            return false;
        if (!inLast)
            goColumn(columnBeside(cur, 1));
        else if (down())
            goColumn(firstColumn());
        return true;
    case Qt::Key_Left:
        if (rowSelect) {
            scrollColumns(-1);
        } else if (!inFirst) {
            goColumn(columnBeside(cur, -1));
        } else if (m_table->currentRow() > 0) {
            // Wraps to the end of the previous row, wherever it shows.
            if (up())
                goColumn(lastColumn());
        }
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return tabKey(key == Qt::Key_Backtab || mods.testFlag(Qt::ShiftModifier));
    case Qt::Key_Right:
        if (rowSelect)
            scrollColumns(1);
        else if (!inLast)
            goColumn(columnBeside(cur, 1));
        else if (down())
            goColumn(firstColumn());
        return true;
    case Qt::Key_Up:
        up();
        return true;
    case Qt::Key_Down:
        down();
        return true;
    case Qt::Key_PageUp:
        page(-1);
        return true;
    case Qt::Key_PageDown:
        page(1);
        return true;
    case Qt::Key_Home:
        if (mods.testFlag(Qt::ControlModifier))
            guarded([this] { m_table->first(); });
        else
            goColumn(firstColumn());
        return true;
    case Qt::Key_End:
        if (mods.testFlag(Qt::ControlModifier))
            guarded([this] { m_table->last(); });
        else
            goColumn(lastColumn());
        return true;
    case Qt::Key_Insert:
        if (mods != Qt::NoModifier)
            return false;
        if (canModify() && commitEditor())
            guarded([this] { m_table->insert(); });
        return true;
    case Qt::Key_Delete:
        if (mods != Qt::ControlModifier)
            return false;
        deleteCurrentRow();
        return true;
    case Qt::Key_Escape:
        return escape();
    default:
        return false;
    }
}

// Tab goes from cell to cell like Right and Left; before the first cell and
// after the last one of an untouched last row it leaves the grid.
bool TDBGridNormal::tabKey(bool back) {
    if (!m_options.testFlag(dgTabs) || m_options.testFlag(dgRowSelect))
        return false;
    const int cur = currentIndex().isValid() ? currentIndex().column() : -1;
    const int row = m_table->currentRow();
    if (back) {
        if (cur >= 0 && cur != firstColumn())
            goColumn(columnBeside(cur, -1));
        else if (row > 0 && up())
            goColumn(lastColumn());
        return row > 0 || (cur >= 0 && cur != firstColumn());
    }
    if (cur >= 0 && cur != lastColumn()) {
        goColumn(columnBeside(cur, 1));
        return true;
    }
    if (!commitEditor())
        return true;
    const bool untouchedEnd = row >= m_table->rowCount() - 1 &&
                              (m_table->rowCount() == 0 || !canModify() ||
                               (m_table->state() == TableState::Insert && !m_table->modified()));
    if (untouchedEnd)
        return false;
    if (down())
        goColumn(firstColumn());
    return true;
}

bool TDBGridNormal::up() {
    if (!commitEditor())
        return false;
    const int row = m_table->currentRow();
    // An untouched new row at the end is dropped rather than left behind.
    if (m_table->state() == TableState::Insert && !m_table->modified() &&
        row == m_table->rowCount() - 1)
        return guarded([this] { m_table->cancel(); });
    if (row > 0)
        return guarded([this, row] { m_table->moveTo(row - 1); });
    // On the first row the row being typed is saved, as moving would.
    return guarded([this] { m_table->prior(); });
}

bool TDBGridNormal::down() {
    if (!commitEditor())
        return false;
    const int row = m_table->currentRow();
    if (row < m_table->rowCount() - 1)
        return guarded([this, row] { m_table->moveTo(row + 1); });
    // Past the last row: a new one, unless this one is new and untouched.
    if (m_table->state() == TableState::Insert && !m_table->modified())
        return true;
    if (!canModify())
        return true;
    return guarded([this] { m_table->append(); });
}

void TDBGridNormal::page(int direction) {
    if (!commitEditor() || m_table->rowCount() == 0)
        return;
    const int rows =
        std::max(1, viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize()) - 1);
    const int to = std::clamp(m_table->currentRow() + direction * rows, 0, m_table->rowCount() - 1);
    if (to != m_table->currentRow())
        guarded([this, to] { m_table->moveTo(to); });
}

void TDBGridNormal::scrollColumns(int step) {
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() + step * std::max(1, bar->singleStep()));
}

void TDBGridNormal::deleteCurrentRow() {
    if (!canModify() || m_table->rowCount() == 0 || m_table->currentRow() < 0)
        return;
    QList<int> rows;
    if (m_options.testFlag(dgMultiSelect) && selectionModel()) {
        for (const QModelIndex& i : selectionModel()->selectedIndexes())
            if (!rows.contains(i.row()))
                rows << i.row();
    }
    const bool several = rows.size() > 1;
    if (confirmDelete() &&
        Prompts::current().message(QApplication::applicationName(),
                                   several ? QStringLiteral("Delete all selected records?")
                                           : QStringLiteral("Delete record?"),
                                   PromptIcon::Question, PromptButtons::OkCancel,
                                   PromptAnswer::Cancel) != PromptAnswer::Ok)
        return;
    if (!several) {
        guarded([this] { m_table->remove(); });
        return;
    }
    // From the bottom up, so that the rows still to go keep their places.
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    for (const int r : rows)
        if (!guarded([this, r] {
                m_table->moveTo(r);
                m_table->remove();
            }))
            break;
}

bool TDBGridNormal::escape() {
    // First Esc: the cell's typing is undone; the next cancels the row.
    if (m_editor->isDirty() && m_editRow >= 0) {
        const int f = m_model->fieldOf(m_editCol);
        if (f >= 0 && m_editor->text() != DBGridModel::fieldText(*m_table, m_editRow, f)) {
            loadEditor(true);
            return true;
        }
    }
    if (!m_table->isEditing())
        return false;
    guarded([this] { m_table->cancel(); });
    return true;
}

void TDBGridNormal::keyPressEvent(QKeyEvent* event) {
    // A key the cell editor let pass has had its turn at the grid already;
    // it goes on to the window.
    if (m_editor && m_editor->hasFocus()) {
        event->ignore();
        return;
    }
    // A typed key handed to an editor that could not take it (a read-only
    // cell, the focus still elsewhere) comes back here: it is dropped, not
    // handed on again.
    if (m_passingKey) {
        event->accept();
        return;
    }
    if (gridKeyDown(event->key(), event->modifiers())) {
        event->accept();
        return;
    }
    const QString text = event->text();
    const bool typed = !text.isEmpty() && text.at(0).isPrint() &&
                       !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (typed || (event->key() == Qt::Key_F2 && event->modifiers() == Qt::NoModifier)) {
        event->accept();
        if (!m_table || !m_table->isActive())
            return;
        // Typing into a grid without rows starts the first one.
        if (typed && m_table->rowCount() == 0 &&
            !(canModify() && guarded([this] { m_table->append(); })))
            return;
        m_editorActive = true;
        placeEditor(false);
        if (m_editor->isHidden())
            return;
        m_editor->setFocus(Qt::OtherFocusReason);
        if (typed) {
            QKeyEvent copy(event->type(), event->key(), event->modifiers(), text);
            const QScopedValueRollback<bool> passing(m_passingKey, true);
            QCoreApplication::sendEvent(m_editor, &copy);
        }
        return;
    }
    QTableView::keyPressEvent(event);
}

bool TDBGridNormal::event(QEvent* event) {
    // Tab is the grid's own (dgTabs) before it is the window's.
    if (event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
            !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            if (!gridKeyDown(k->key(), k->modifiers()))
                leaveByTab(k->key() == Qt::Key_Backtab);
            k->accept();
            return true;
        }
    }
    return QTableView::event(event);
}

void TDBGridNormal::leaveByTab(bool back) {
    // An untouched new row goes before the next control is chosen, as it
    // would on leaving: controls that follow the current row (shown only for
    // some rows) must be judged on the row that stays.
    if (m_table && m_table->isActive() && m_options.testFlag(dgCancelOnExit) &&
        m_table->state() == TableState::Insert && !m_table->modified())
        guarded([this] { m_table->cancel(); });
    QWidget* form = window();
    QWidget* w = this;
    for (;;) {
        w = back ? w->previousInFocusChain() : w->nextInFocusChain();
        if (!w || w == this)
            return;
        if (!isAncestorOf(w) && takesTabFocus(w, form)) {
            w->setFocus(back ? Qt::BacktabFocusReason : Qt::TabFocusReason);
            return;
        }
    }
}

// ---------------------------------------------------------------- the cell editor

void TDBGridNormal::editorEdited() {
    if (!m_table || !m_table->isActive() || m_table->isEditing())
        return;
    if (!guarded([this] { m_table->edit(); }))
        loadEditor(false);
}

void TDBGridNormal::flushEditor() {
    if (!m_editor || !m_editor->isDirty() || !m_table || !m_model)
        return;
    const int f = m_model->fieldOf(m_editCol);
    if (f < 0 || m_editRow != m_table->currentRow()) {
        m_editor->setDirty(false);
        return;
    }
    const QString text = m_editor->text();
    if (DBGridModel::fieldText(*m_table, m_editRow, f) != text) {
        m_table->edit();
        m_table->setAsString(m_table->fields().at(f).name, text);
    }
    m_editor->setDirty(false);
}

bool TDBGridNormal::commitEditor() {
    if (!m_editor || !m_editor->isDirty())
        return true;
    return guarded([this] { flushEditor(); });
}

void TDBGridNormal::syncFromTable() {
    if (!m_table || !m_model || m_modelChanging)
        return;
    const int row = m_table->isActive() ? m_table->currentRow() : -1;
    if (row < 0 || row >= m_model->rowCount()) {
        hideEditor();
        return;
    }
    int col = currentIndex().isValid() ? currentIndex().column() : m_editCol;
    if (col < 0 || col >= m_model->columnCount() || isColumnHidden(col))
        col = firstColumn();
    if (col < 0) {
        hideEditor();
        return;
    }
    const QModelIndex want = m_model->index(row, col);
    if (currentIndex() != want) {
        const bool was = m_syncing;
        m_syncing = true;
        setCurrentIndex(want);
        m_syncing = was;
    }
    // The table moved (or was reloaded): whatever was typed has been saved
    // or was meant to go.
    placeEditor(true);
}

void TDBGridNormal::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (m_syncing || m_modelChanging || !m_model || !m_table)
        return;
    // The cell being left keeps what was typed in it; a refused value keeps
    // the user there.
    if (!commitEditor()) {
        const bool was = m_syncing;
        m_syncing = true;
        setCurrentIndex(m_model->index(m_editRow, m_editCol));
        m_syncing = was;
        m_editor->setFocus();
        return;
    }
    m_editorActive = false;
    if (m_table->isActive() && current.isValid() && current.row() != m_table->currentRow()) {
        const int row = current.row();
        if (!guarded([this, row] { m_table->moveTo(row); })) {
            syncFromTable();
            return;
        }
    }
    placeEditor(false);
}

void TDBGridNormal::placeEditor(bool reload) {
    if (!m_editor)
        return;
    const QModelIndex cur = currentIndex();
    const bool shown = m_model && m_table && m_table->isActive() && cur.isValid() &&
                       cur.row() == m_table->currentRow() && !isColumnHidden(cur.column()) &&
                       m_options.testFlag(dgEditing) && !m_options.testFlag(dgRowSelect) &&
                       (m_options.testFlag(dgAlwaysShowEditor) || m_editorActive);
    if (!shown) {
        hideEditor();
        return;
    }
    const bool newCell =
        cur.row() != m_editRow || cur.column() != m_editCol || m_editor->isHidden();
    m_editRow = cur.row();
    m_editCol = cur.column();
    positionEditor();
    if (newCell || reload)
        loadEditor(newCell);
    if (m_editor->isHidden()) {
        m_editor->show();
        if (hasFocus())
            m_editor->setFocus(Qt::OtherFocusReason);
    }
}

void TDBGridNormal::positionEditor() {
    if (!m_editor || !m_model || m_editRow < 0 || m_editCol < 0)
        return;
    m_editor->setGeometry(visualRect(m_model->index(m_editRow, m_editCol)));
}

void TDBGridNormal::loadEditor(bool enteringCell) {
    if (!m_model || !m_table || m_editRow < 0 || m_editCol < 0 ||
        m_editCol >= m_model->columnCount())
        return;
    const QModelIndex idx = m_model->index(m_editRow, m_editCol);
    const int f = m_model->fieldOf(m_editCol);
    const ColumnLook& look = m_model->lookOf(m_editCol);
    TXInPlaceEdit::Cell cell;
    cell.text = DBGridModel::fieldText(*m_table, m_editRow, f);
    cell.readOnly = !(m_model->flags(idx) & Qt::ItemIsEditable) || !canModify();
    cell.alignment = m_model->data(idx, Qt::TextAlignmentRole).value<Qt::Alignment>();
    if (f >= 0 && m_table->fields().at(f).type == FieldType::Text)
        cell.maxLength = m_table->fields().at(f).size;
    if (look.dropDownButton)
        cell.pickList = m_model->columns().at(m_editCol).pickList;
    cell.dropDownRows = look.dropDownRows;
    m_editor->setFont(look.font ? look.font->resolve(font()) : font());
    QPalette pal = palette();
    if (look.color.isValid())
        pal.setColor(QPalette::Base, look.color);
    if (look.fontColor.isValid())
        pal.setColor(QPalette::Text, look.fontColor);
    m_editor->setPalette(pal);
    m_editor->load(cell, enteringCell);
}

void TDBGridNormal::hideEditor() {
    if (!m_editor)
        return;
    const bool hadFocus = m_editor->hasFocus();
    m_editRow = m_editCol = -1;
    m_editor->closeList();
    m_editor->setDirty(false);
    // The grid takes the focus first: hiding a focused editor would send
    // it on as if Tab had been pressed.
    if (hadFocus)
        setFocus(Qt::OtherFocusReason);
    m_editor->hide();
}

void TDBGridNormal::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles) {
    QTableView::dataChanged(topLeft, bottomRight, roles);
    if (m_editor && !m_editor->isHidden() && !m_editor->isDirty() && m_editRow >= topLeft.row() &&
        m_editRow <= bottomRight.row() && m_editCol >= topLeft.column() &&
        m_editCol <= bottomRight.column())
        loadEditor(false);
}

void TDBGridNormal::updateEditorGeometries() {
    QTableView::updateEditorGeometries();
    positionEditor();
}

void TDBGridNormal::updateGeometries() {
    QTableView::updateGeometries();
    positionEditor();
}

void TDBGridNormal::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    // Where the editor does not cover the current cell, a frame shows it.
    const QModelIndex cur = currentIndex();
    if (!cur.isValid() || (m_editor && !m_editor->isHidden()))
        return;
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Highlight), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(visualRect(cur)).adjusted(1, 1, -1, -1));
}

void TDBGridNormal::focusInEvent(QFocusEvent* event) {
    QTableView::focusInEvent(event);
    if (m_editor && !m_editor->isHidden() && m_editRow >= 0)
        m_editor->setFocus(event->reason());
}

// ---------------------------------------------------------------- leaving the grid

void TDBGridNormal::onFocusChanged(QWidget* old, QWidget* now) {
    // Only a move to another control of the same window leaves the grid; a
    // dialog or list it opened does not.
    if (!old || !now || now->window() != window())
        return;
    const auto inGrid = [this](const QWidget* w) { return w == this || isAncestorOf(w); };
    if (inGrid(old) && !inGrid(now))
        gridExit();
}

void TDBGridNormal::gridExit() {
    m_editorActive = false;
    if (!m_table || !m_table->isActive())
        return;
    if (!commitEditor()) {
        QPointer<TXInPlaceEdit> editor(m_editor);
        QTimer::singleShot(0, this, [editor] {
            if (editor && editor->isVisible())
                editor->setFocus(Qt::OtherFocusReason);
        });
        return;
    }
    if (m_options.testFlag(dgCancelOnExit) && m_table->state() == TableState::Insert &&
        !m_table->modified())
        guarded([this] { m_table->cancel(); });
    if (!m_options.testFlag(dgAlwaysShowEditor))
        placeEditor(false);
}
