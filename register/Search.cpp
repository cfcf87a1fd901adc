#include "Search.h"

#include "DBGNorm.h"
#include "DBGridModel.h"
#include "FoldedText.h"
#include "Guard.h"
#include "Prompts.h"
#include "StoreError.h"
#include "Values.h"
#include "WaitCursor.h"

#include <QCheckBox>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>
#include <cstring>

namespace {

// A calculated field's value in the form the file would store it.
Table::StoredValue storedForm(const QVariant& v, QByteArray* keep) {
    Table::StoredValue out;
    if (v.isNull() || !v.isValid())
        return out;
    switch (v.typeId()) {
    case QMetaType::Double:
        out.kind = Table::StoredValue::Real;
        out.real = v.toDouble();
        return out;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
        out.kind = Table::StoredValue::Integer;
        out.integer = v.toLongLong();
        return out;
    case QMetaType::QDate:
        *keep = Values::dateToStored(v.toDate()).toUtf8();
        break;
    default:
        *keep = v.toString().toUtf8();
    }
    out.kind = Table::StoredValue::Text;
    out.text = keep->constData();
    out.bytes = int(keep->size());
    return out;
}

// The column that holds the cell focus, or the first one shown when the
// grid has no current cell (an empty table).
int selectedColumn(const TDBGridNormal* grid) {
    const QModelIndex cur = grid->currentIndex();
    if (cur.isValid() && !grid->isColumnHidden(cur.column()))
        return cur.column();
    const QHeaderView* h = grid->horizontalHeader();
    for (int v = 0; v < h->count(); ++v)
        if (!grid->isColumnHidden(h->logicalIndex(v)))
            return h->logicalIndex(v);
    return -1;
}

int selectedField(const TDBGridNormal* grid) {
    const DBGridModel* model = grid->gridModel();
    return model ? model->fieldOf(selectedColumn(grid)) : -1;
}

const QString kUnsearchable = QStringLiteral("Acest tip de date nu poate fi cautat");

// Shows the found row highlighted as a whole for a moment, then gives the
// grid back its own options, with the cell focus in `column`.
void highlightRow(TDBGridNormal* grid, int column) {
    QPointer<TDBGridNormal> g(grid);
    const TDBGridNormal::Options own = grid->options();
    const int row = grid->table()->currentRow();
    const QModelIndex at = grid->model()->index(row, column);
    const auto restore = [g, own, column] {
        if (!g)
            return;
        g->setOptions(own);
        if (g->selectionModel())
            g->selectionModel()->clearSelection();
        if (g->table() && g->table()->currentRow() >= 0)
            g->setCurrentIndex(g->model()->index(g->table()->currentRow(), column));
        g->viewport()->repaint();
    };
    try {
        grid->setOptions(own | TDBGridNormal::dgRowSelect | TDBGridNormal::dgAlwaysShowSelection);
        grid->scrollTo(at);
        grid->selectionModel()->select(at, QItemSelectionModel::ClearAndSelect |
                                               QItemSelectionModel::Rows);
        grid->viewport()->repaint();
        // The screen goes on painting; the keys wait.
        QEventLoop wait;
        QTimer::singleShot(TSrchForm::HighlightMs, &wait, &QEventLoop::quit);
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

// Cuts a detail table from its master for its lifetime; the link comes
// back, showing the first row of the master's current place, also when
// the search failed.
class LinkCut {
public:
    explicit LinkCut(Table* table) : m_table(table) {
        if (!m_table)
            return;
        WaitCursor wait;
        try {
            m_table->setLinkEnabled(false);
        } catch (...) {
            guarded([this] { restore(); });
            throw;
        }
    }
    ~LinkCut() {
        if (m_table)
            guarded([this] { restore(); });
    }
    void restore() {
        Table* t = m_table;
        m_table = nullptr;
        if (!t)
            return;
        WaitCursor wait;
        t->setLinkEnabled(true);
        t->first();
    }
    LinkCut(const LinkCut&) = delete;
    LinkCut& operator=(const LinkCut&) = delete;

private:
    Table* m_table;
};

} // namespace

// ---------------------------------------------------------------- matching

namespace FieldSearch {

bool convert(const FieldDef& field, const QString& text, bool exact, SearchValue* out,
             QString* message) {
    switch (field.type) {
    case FieldType::Text:
        out->kind = exact ? SearchValue::Equals : SearchValue::Contains;
        out->text = exact ? text.toUtf8() : FoldedText::fold(text.toUtf8());
        return true;
    case FieldType::LongInt: {
        bool ok = false;
        const qlonglong v = text.trimmed().toLongLong(&ok);
        if (!ok || v < INT_MIN || v > INT_MAX) {
            *message = QStringLiteral("Acesta nu este un format adecvat de tip Intreg");
            return false;
        }
        out->kind = SearchValue::Number;
        out->number = double(v);
        return true;
    }
    case FieldType::Number:
        if (!Values::textToNumber(text, &out->number)) {
            *message = QStringLiteral("Acesta nu este un format adecvat de tip numeric");
            return false;
        }
        out->kind = SearchValue::Number;
        return true;
    case FieldType::Date: {
        const QDate d = Values::textToDate(text);
        if (!d.isValid()) {
            *message = QStringLiteral("Acesta nu este un format adecvat de tip Data");
            return false;
        }
        out->kind = SearchValue::Day;
        out->text = Values::dateToStored(d).toUtf8();
        return true;
    }
    case FieldType::Logical:
    case FieldType::Memo:
        break;
    }
    *message = kUnsearchable;
    return false;
}

bool matches(const Table::StoredValue& v, const SearchValue& w) {
    using SV = Table::StoredValue;
    if (v.kind == SV::Null)
        return false;
    switch (w.kind) {
    case SearchValue::Contains:
    case SearchValue::Equals: {
        if (w.text.isEmpty())
            return false;
        QByteArray spare; // a number kept in a text field
        const char* s = v.text;
        int n = v.bytes;
        if (v.kind != SV::Text) {
            spare = v.kind == SV::Integer ? QByteArray::number(v.integer)
                                          : QVariant(v.real).toString().toUtf8();
            s = spare.constData();
            n = int(spare.size());
        }
        if (w.kind == SearchValue::Contains)
            return FoldedText::contains(QByteArrayView(s, n), w.text);
        return n == w.text.size() && std::memcmp(s, w.text.constData(), std::size_t(n)) == 0;
    }
    case SearchValue::Number:
        if (v.kind == SV::Integer)
            return double(v.integer) == w.number;
        if (v.kind == SV::Real)
            return v.real == w.number;
        {
            bool ok = false;
            const double d = QByteArray(v.text, v.bytes).toDouble(&ok);
            return ok && d == w.number;
        }
    case SearchValue::Day:
        // Dates are stored as ISO text; a time after the day does not count.
        return v.kind == SV::Text && w.text.size() == 10 && v.bytes >= 10 &&
               std::memcmp(v.text, w.text.constData(), 10) == 0;
    }
    return false;
}

int findRow(Table& table, int field, const SearchValue& wanted, int from) {
    const int rows = table.rowCount();
    from = std::max(from, 0);
    if (field < 0 || field >= table.fields().size() || from >= rows)
        return -1;
    if (table.fields().at(field).calculated) {
        for (int i = from; i < rows; ++i) {
            QByteArray keep;
            if (matches(storedForm(table.valueAt(i, field), &keep), wanted))
                return i;
        }
        return -1;
    }
    // One pass over the file gives the rows that match; the walk in the
    // current order then only asks which of its rows they are.
    QSet<qint64> hits;
    table.scanField(field, [&](qint64 rowid, const Table::StoredValue& v) {
        if (matches(v, wanted))
            hits.insert(rowid);
    });
    if (hits.isEmpty())
        return -1;
    for (int i = from; i < rows; ++i)
        if (hits.contains(table.rowIdAt(i)))
            return i;
    return -1;
}

bool locate(Table& table, const QString& field, const QVariant& value) {
    const int f = table.fieldIndex(field);
    if (f < 0 || value.isNull() || !value.isValid())
        return false;
    SearchValue w;
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Int:
    case QMetaType::LongLong:
        w.kind = SearchValue::Number;
        w.number = value.toDouble();
        break;
    case QMetaType::QDate:
        w.kind = SearchValue::Day;
        w.text = Values::dateToStored(value.toDate()).toUtf8();
        break;
    default:
        w.kind = SearchValue::Equals;
        w.text = value.toString().toUtf8();
    }
    table.checkBrowseMode();
    const int row = findRow(table, f, w, 0);
    if (row < 0)
        return false;
    table.moveTo(row);
    return true;
}

} // namespace FieldSearch

// ---------------------------------------------------------------- the dialog

TSrchForm::TSrchForm(TDBGridNormal* grid, QWidget* parent) : QDialog(parent), m_grid(grid) {
    setObjectName(QStringLiteral("SrchForm"));
    setWindowTitle(QStringLiteral("Cauta"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    ExactCheckBox = new QCheckBox(QStringLiteral("Cauta asemanare e&xacta"), this);
    ExactCheckBox->setObjectName(QStringLiteral("ExactCheckBox"));
    QFont small = ExactCheckBox->font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() - 1));
    ExactCheckBox->setFont(small);
    EditSrch = new QLineEdit(this);
    EditSrch->setObjectName(QStringLiteral("EditSrch"));
    OKBtn = new QPushButton(QStringLiteral("&Start"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    BitBtn1 = new QPushButton(QStringLiteral("&Urmator"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setEnabled(false);
    CancelBtn = new QPushButton(QStringLiteral("&Renunta"), this);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    CancelBtn->setAutoDefault(false);

    auto* lay = new QVBoxLayout(this);
    lay->addWidget(ExactCheckBox);
    lay->addWidget(EditSrch);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(OKBtn);
    buttons->addWidget(BitBtn1);
    buttons->addWidget(CancelBtn);
    lay->addLayout(buttons);
    setTabOrder(EditSrch, OKBtn);
    setTabOrder(OKBtn, BitBtn1);
    setTabOrder(BitBtn1, CancelBtn);
    setTabOrder(CancelBtn, ExactCheckBox);
    EditSrch->setFocus();

    connect(OKBtn, &QPushButton::clicked, this, [this] { guarded([this] { OKBtnClick(); }); });
    connect(BitBtn1, &QPushButton::clicked, this, [this] { guarded([this] { BitBtn1Click(); }); });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    FormCreate();
}

void TSrchForm::FormCreate() {
    const int f = m_grid ? selectedField(m_grid) : -1;
    const Table* t = m_grid ? m_grid->table() : nullptr;
    ExactCheckBox->setVisible(t && f >= 0 && t->fields().at(f).type == FieldType::Text);
}

void TSrchForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FormShow();
}

void TSrchForm::FormShow() {
    const DBGridModel* model = m_grid ? m_grid->gridModel() : nullptr;
    const int column = m_grid ? selectedColumn(m_grid) : -1;
    if (model && column >= 0)
        setWindowTitle(model->titleOf(column) + QStringLiteral(" : ") + QStringLiteral("Cauta"));
    adjustSize();
    const QWidget* over = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* s = over ? over->screen() : screen();
    if (s)
        move(s->availableGeometry().center() - rect().center());
    EditSrch->setFocus();
}

void TSrchForm::OKBtnClick() {
    WaitCursor wait;
    m_fromFirst = true;
    BitBtn1->setEnabled(false);
    const bool found = SearchColumn(m_grid, EditSrch->text(), m_fromFirst);
    BitBtn1->setEnabled(found);
    m_found = m_found || found;
}

void TSrchForm::BitBtn1Click() {
    WaitCursor wait;
    m_fromFirst = false;
    // A message ends this with Abort: the button keeps its state.
    const bool found = SearchColumn(m_grid, EditSrch->text(), m_fromFirst);
    BitBtn1->setEnabled(found);
    m_found = m_found || found;
}

bool TSrchForm::SearchColumn(TDBGridNormal* grid, const QString& text, bool fromFirst) {
    Table* table = grid ? grid->table() : nullptr;
    if (!table || !table->isActive() || !grid->gridModel())
        return false;
    const int column = selectedColumn(grid);
    const int field = grid->gridModel()->fieldOf(column);
    SearchValue wanted;
    QString message = kUnsearchable;
    if (field < 0 || !FieldSearch::convert(table->fields().at(field), text,
                                           ExactCheckBox->isChecked(), &wanted, &message)) {
        Prompts::information(message);
        throw Abort();
    }
    // Moving saves what is being typed; the walk reads what is stored.
    table->checkBrowseMode();
    const int from = fromFirst ? 0 : table->currentRow() + 1;
    const int row = FieldSearch::findRow(*table, field, wanted, from);
    if (row < 0)
        return false; // the table stays on its row
    table->moveTo(row);
    highlightRow(grid, column);
    return true;
}

bool ShowSearch(TDBGridNormal* grid, QWidget* parent) {
    TSrchForm form(grid, parent);
    form.exec();
    return form.found();
}

void SearchPlace(TDBGridNormal* grid, Table& catalog, QWidget* parent) {
    Table* table = grid ? grid->table() : nullptr;
    if (!table || !table->isActive())
        return;
    const bool detail = table != &catalog && table->master() == &catalog && table->linkEnabled();
    LinkCut cut(detail ? table : nullptr);
    // Only a row found takes the register to its place: a search cancelled
    // or unsuccessful leaves it where it was.
    const bool found = ShowSearch(grid, parent);
    // The first field is the place's identifier in all four tables.
    if (found && table->currentRow() >= 0 && !table->fields().isEmpty() && catalog.isActive()) {
        const FieldDef& id = table->fields().at(0);
        FieldSearch::locate(catalog, id.name, table->value(0));
    }
    cut.restore();
}
