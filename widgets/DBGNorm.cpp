#include "DBGNorm.h"

#include "DBGridModel.h"
#include "Guard.h"
#include "Prompts.h"
#include "Table.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>

TDBGridNormal::TDBGridNormal(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                    QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setAlternatingRowColors(false);
    setWordWrap(false);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Titles are drawn in maroon.
    horizontalHeader()->setStyleSheet(QStringLiteral("QHeaderView::section { color: maroon; }"));
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 5);
    verticalHeader()->setMinimumWidth(14);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
}

void TDBGridNormal::setTable(Table* table) {
    m_table = table;
    m_model = new DBGridModel(table, this);
    setModel(m_model);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& cur, const QModelIndex&) { onViewCurrentChanged(cur); });
    connect(table, &Table::currentChanged, this, [this] { syncFromTable(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { syncFromTable(); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, [this] { syncFromTable(); });
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, [this] { syncFromTable(); });
}

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
    const QList<GridColumn>& built = m_model->columns();
    const QHeaderView* h = horizontalHeader();
    for (int v = 0; v < built.size(); ++v) {
        const int logical = h->logicalIndex(v);
        GridColumn c = built.at(logical);
        const int w = columnWidth(logical);
        if (w > 0)
            c.width = w;
        out << c;
    }
    return out;
}

void TDBGridNormal::syncFromTable() {
    if (!m_table || m_syncing)
        return;
    const int row = m_table->currentRow();
    if (row < 0 || row >= m_model->rowCount())
        return;
    int col = currentIndex().isValid() ? currentIndex().column() : -1;
    if (col < 0 || isColumnHidden(col)) {
        col = horizontalHeader()->logicalIndex(0);
        for (int v = 0; v < m_model->columnCount() && isColumnHidden(col); ++v)
            col = horizontalHeader()->logicalIndex(v);
    }
    if (col < 0)
        return;
    const QModelIndex want = m_model->index(row, col);
    if (currentIndex() == want)
        return;
    m_syncing = true;
    setCurrentIndex(want);
    m_syncing = false;
}

void TDBGridNormal::onViewCurrentChanged(const QModelIndex& current) {
    if (m_syncing || !m_table || !current.isValid() || !m_table->isActive())
        return;
    if (current.row() == m_table->currentRow())
        return;
    const int row = current.row();
    if (!guarded([&] { m_table->moveTo(row); }))
        syncFromTable();
}

void TDBGridNormal::deleteCurrentRow() {
    if (!m_table || !m_table->isActive() || m_table->isEmpty())
        return;
    if (m_confirmDelete &&
        Prompts::current().message(QApplication::applicationName(), QStringLiteral("Delete record?"),
                                   PromptIcon::Question, PromptButtons::OkCancel,
                                   PromptAnswer::Cancel) != PromptAnswer::Ok)
        return;
    guarded([&] { m_table->remove(); });
}

void TDBGridNormal::keyPressEvent(QKeyEvent* event) {
    if (!m_table || !m_table->isActive()) {
        QTableView::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Insert:
        if (mods == Qt::NoModifier) {
            guarded([&] { m_table->insert(); });
            return;
        }
        break;
    case Qt::Key_Delete:
        if (mods == Qt::ControlModifier) {
            deleteCurrentRow();
            return;
        }
        break;
    case Qt::Key_Escape:
        if (m_table->isEditing()) {
            guarded([&] { m_table->cancel(); });
            return;
        }
        break;
    case Qt::Key_Down:
        if (mods == Qt::NoModifier && m_table->currentRow() == m_table->rowCount() - 1) {
            // Down on the last row appends, unless that row is an untouched new one.
            if (!(m_table->state() == TableState::Insert && !m_table->modified()))
                guarded([&] { m_table->append(); });
            return;
        }
        break;
    case Qt::Key_Up:
        if (mods == Qt::NoModifier && m_table->state() == TableState::Insert &&
            !m_table->modified() && m_table->currentRow() == m_table->rowCount() - 1) {
            guarded([&] { m_table->cancel(); });
            return;
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

void TDBGridNormal::focusOutEvent(QFocusEvent* event) {
    QTableView::focusOutEvent(event);
    // An untouched new row does not outlive the grid's focus, unless the
    // focus only went to the grid's own cell editor or a dialog it opened.
    if (!m_table || m_table->state() != TableState::Insert || m_table->modified())
        return;
    QWidget* now = QApplication::focusWidget();
    if (now && (now == this || isAncestorOf(now)))
        return;
    if (event->reason() == Qt::PopupFocusReason || event->reason() == Qt::ActiveWindowFocusReason)
        return;
    guarded([&] { m_table->cancel(); });
}
