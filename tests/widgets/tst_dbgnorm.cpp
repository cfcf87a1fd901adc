// The data grid, its cell editor and the data edits, driven by real key
// events on shown widgets.
#include "DBCheckBoxNormal.h"
#include "DBEditNormal.h"
#include "DBGNorm.h"
#include "DBGridModel.h"
#include "Database.h"
#include "Table.h"
#include "TestSupport.h"
#include "XInPlaceEdit.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// A shown window with one grid on a table of a fresh register and a line
// edit after it to leave the grid for.
struct GridWindow {
    GridWindow(const QString& tableFile, const QList<GridColumn>& columns) {
        db = std::make_unique<Database>(dir.file(QStringLiteral("Tombrix.sqlite")));
        db->open();
        table = new Table(*db, &window);
        table->setTableName(tableFile);
        table->open();
        auto* lay = new QVBoxLayout(&window);
        grid = new TDBGridNormal(&window);
        grid->setTable(table);
        grid->setColumns(columns);
        lay->addWidget(grid);
        outside = new QLineEdit(&window);
        lay->addWidget(outside);
    }
    ~GridWindow() {
        delete grid;
        delete table;
    }
    bool show() {
        window.resize(700, 300);
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        grid->setFocus();
        // Without rows there is no cell to edit and the grid keeps the focus.
        return table->rowCount() == 0 ? grid->hasFocus() : editor()->hasFocus();
    }
    void addRow(const QStringList& fields, const QStringList& values) {
        table->append();
        for (int i = 0; i < fields.size(); ++i)
            table->setAsString(fields[i], values.value(i));
        table->post();
    }
    TXInPlaceEdit* editor() const { return grid->inplaceEditor(); }
    int row() const { return table->currentRow(); }
    int column() const { return grid->currentIndex().column(); }
    QString stored(int row, const QString& field) const {
        return DBGridModel::fieldText(*table, row, table->fieldIndex(field));
    }
    QString indicator() const {
        return grid->model()->headerData(table->currentRow(), Qt::Vertical).toString();
    }

    TempProgramDir dir;
    std::unique_ptr<Database> db;
    QWidget window;
    Table* table = nullptr;
    TDBGridNormal* grid = nullptr;
    QLineEdit* outside = nullptr;
};

// Keys go where the focus is, as the user's keys do.
void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key), mods);
}

void type(const QString& text) {
    for (const QChar ch : text) {
        QWidget* w = QApplication::focusWidget();
        QVERIFY(w);
        QTest::keyClick(w, ch.toLatin1());
    }
}

QList<GridColumn> placeColumns() {
    return {GridColumn::make(QStringLiteral("Sector")),
            GridColumn::make(QStringLiteral("Nume_Uzufruct")),
            GridColumn::make(QStringLiteral("Observatii"))};
}

const QStringList kPlaceFields = {QStringLiteral("Id_Loc"), QStringLiteral("Sector"),
                                  QStringLiteral("Nume_Uzufruct")};

} // namespace

class TestDBGNorm : public QObject {
    Q_OBJECT
private slots:
    void enterWalksTheCellsAndAppendsOnceAtTheEnd() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        w.addRow(kPlaceFields,
                 {QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("Ionescu")});
        w.addRow(kPlaceFields,
                 {QStringLiteral("2"), QStringLiteral("B"), QStringLiteral("Popescu")});
        // The model stays consistent through appends and drops.
        QAbstractItemModelTester tester(w.grid->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        int newRows = 0;
        w.table->onNewRecord = [&newRows](Table&) { ++newRows; };
        QVERIFY(w.show());
        QCOMPARE(w.row(), 1);
        QCOMPARE(w.column(), 0);
        press(Qt::Key_Return);
        QCOMPARE(w.column(), 1);
        w.editor()->setCursorPosition(3); // in the middle of "Popescu"
        press(Qt::Key_Enter);             // the keypad one too
        QCOMPARE(w.column(), 2);
        press(Qt::Key_Return); // the last column of the last row
        QCOMPARE(w.table->rowCount(), 3);
        QCOMPARE(w.table->state(), TableState::Insert);
        QCOMPARE(w.row(), 2);
        QCOMPARE(w.column(), 0);
        QVERIFY(w.editor()->hasFocus());
        for (int i = 0; i < 3; ++i) // through the untouched new row
            press(Qt::Key_Return);
        QCOMPARE(newRows, 1); // the same new row, not one in its place
        QCOMPARE(w.table->rowCount(), 3);
        QCOMPARE(w.row(), 2);
        QCOMPARE(w.column(), 0);
        press(Qt::Key_Up); // dropped, not left behind
        QCOMPARE(w.table->rowCount(), 2);
        QCOMPARE(w.table->state(), TableState::Browse);
        QCOMPARE(w.row(), 1);
    }

    void typingAddsToTheCellAndReachesTheRow() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        w.addRow(kPlaceFields,
                 {QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("Popescu")});
        w.addRow(kPlaceFields,
                 {QStringLiteral("2"), QStringLiteral("B"), QStringLiteral("Ionescu")});
        QVERIFY(w.show());
        press(Qt::Key_Up);
        press(Qt::Key_Right); // the caret is at the end of "A": on to the next cell
        QCOMPARE(w.column(), 1);
        QCOMPARE(w.editor()->text(), QStringLiteral("Popescu"));
        QVERIFY(!w.editor()->hasSelectedText());
        QCOMPARE(w.editor()->cursorPosition(), 7);
        QCOMPARE(w.indicator(), QStringLiteral("\u25B6"));
        type(QStringLiteral("a"));
        QCOMPARE(w.editor()->text(), QStringLiteral("Popescua"));
        QCOMPARE(w.indicator(), QStringLiteral("I"));
        press(Qt::Key_Down); // saves the row on leaving it
        QCOMPARE(w.table->state(), TableState::Browse);
        QCOMPARE(w.stored(0, QStringLiteral("Nume_Uzufruct")), QStringLiteral("Popescua"));
        // Typed and then posted from elsewhere (the navigator): kept too.
        type(QStringLiteral("X"));
        w.table->post();
        QCOMPARE(w.stored(1, QStringLiteral("Nume_Uzufruct")), QStringLiteral("IonescuX"));
        QCOMPARE(w.editor()->text(), QStringLiteral("IonescuX"));
    }

    void leftAndRightFollowTheCaretAndWrapRows() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        w.addRow(kPlaceFields,
                 {QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("Popescu")});
        w.addRow(kPlaceFields,
                 {QStringLiteral("2"), QStringLiteral("B"), QStringLiteral("Ionescu")});
        QVERIFY(w.show());
        press(Qt::Key_Right);
        QCOMPARE(w.column(), 1);
        press(Qt::Key_Left); // inside the text: only the caret moves
        QCOMPARE(w.column(), 1);
        QCOMPARE(w.editor()->cursorPosition(), 6);
        press(Qt::Key_Right);
        press(Qt::Key_Right); // at the end: next cell
        QCOMPARE(w.column(), 2);
        press(Qt::Key_Left, Qt::ControlModifier); // with Ctrl, whatever the caret
        QCOMPARE(w.column(), 1);
        press(Qt::Key_Home); // the caret to the start first
        QCOMPARE(w.column(), 1);
        press(Qt::Key_Left);
        QCOMPARE(w.column(), 0);
        press(Qt::Key_Home);
        press(Qt::Key_Left); // the first column wraps to the row before
        QCOMPARE(w.row(), 0);
        QCOMPARE(w.column(), 2);
        press(Qt::Key_Home);
        press(Qt::Key_Home);
        QCOMPARE(w.column(), 0);
        press(Qt::Key_Left); // nothing before the first row
        QCOMPARE(w.row(), 0);
        QCOMPARE(w.column(), 0);
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(w.row(), 1);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(w.row(), 0);
        // Columns in the order the user dragged them into.
        w.grid->horizontalHeader()->moveSection(0, 2); // Sector last
        press(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(w.row(), 1);
        press(Qt::Key_Left, Qt::ControlModifier);
        press(Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(w.grid->horizontalHeader()->visualIndex(w.column()), 0);
        press(Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(w.row(), 0);
        QCOMPARE(w.column(), 0); // Sector, now the last one
    }

    void leavingTheGridDropsOnlyAnUntouchedNewRow() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        w.addRow(kPlaceFields, {QStringLiteral("1"), QStringLiteral("A")});
        QVERIFY(w.show());
        press(Qt::Key_Down);
        QCOMPARE(w.table->rowCount(), 2);
        press(Qt::Key_Down); // an untouched new row gets no second one
        QCOMPARE(w.table->rowCount(), 2);
        w.outside->setFocus();
        QCOMPARE(w.table->rowCount(), 1);
        QCOMPARE(w.table->state(), TableState::Browse);

        w.grid->setFocus();
        QVERIFY(w.editor()->hasFocus());
        press(Qt::Key_Down);
        type(QStringLiteral("C"));
        w.outside->setFocus(); // kept, with what was typed in it
        QCOMPARE(w.table->rowCount(), 2);
        QCOMPARE(w.table->state(), TableState::Insert);
        QVERIFY(w.table->modified());
        QCOMPARE(w.table->value(QStringLiteral("Sector")).toString(), QStringLiteral("C"));
    }

    void tabGoesFromCellToCellAndLeavesAtTheEnds() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        w.addRow(kPlaceFields,
                 {QStringLiteral("1"), QStringLiteral("A"), QStringLiteral("Popescu")});
        QVERIFY(w.show());
        press(Qt::Key_Tab);
        QCOMPARE(w.column(), 1);
        press(Qt::Key_Backtab);
        QCOMPARE(w.column(), 0);
        press(Qt::Key_Backtab); // before the first cell: out of the grid
        QVERIFY(w.outside->hasFocus());
        w.grid->setFocus();
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        press(Qt::Key_Tab); // after the last cell: a new row
        QCOMPARE(w.table->rowCount(), 2);
        QCOMPARE(w.column(), 0);
        for (int i = 0; i < 3; ++i) // and out after the new row, which goes
            press(Qt::Key_Tab);
        QVERIFY(w.outside->hasFocus());
        QCOMPARE(w.table->rowCount(), 1);
        QCOMPARE(w.table->state(), TableState::Browse);
    }

    void escUndoesTheCellThenTheRowAndInsertAddsOne() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        w.addRow(kPlaceFields, {QStringLiteral("1"), QStringLiteral("A")});
        w.addRow(kPlaceFields, {QStringLiteral("2"), QStringLiteral("B")});
        QVERIFY(w.show());
        type(QStringLiteral("Z"));
        QCOMPARE(w.editor()->text(), QStringLiteral("BZ"));
        press(Qt::Key_Escape);
        QCOMPARE(w.editor()->text(), QStringLiteral("B"));
        QCOMPARE(w.table->state(), TableState::Edit);
        press(Qt::Key_Escape);
        QCOMPARE(w.table->state(), TableState::Browse);
        press(Qt::Key_Insert); // before the current row
        QCOMPARE(w.table->state(), TableState::Insert);
        QCOMPARE(w.row(), 1);
        QCOMPARE(w.table->rowCount(), 3);
        QCOMPARE(w.indicator(), QStringLiteral("*"));
        QCOMPARE(w.editor()->text(), QString());
        press(Qt::Key_Escape);
        QCOMPARE(w.table->rowCount(), 2);
        QCOMPARE(w.editor()->text(), QStringLiteral("B"));
    }

    void ctrlDeleteAsksOnlyInGridsThatConfirm() {
        ScriptedPrompts prompts;
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        for (int i = 1; i <= 3; ++i)
            w.addRow(kPlaceFields, {QString::number(i), QString::number(i)});
        QVERIFY(w.show());
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.table->rowCount(), 2);
        QVERIFY(prompts.shown().isEmpty());

        w.grid->setConfirmDelete(true);
        prompts.queueAnswer(PromptAnswer::Cancel);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.table->rowCount(), 2);
        QCOMPARE(prompts.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(prompts.shown().at(0).icon, PromptIcon::Question);
        QCOMPARE(prompts.shown().at(0).buttons, PromptButtons::OkCancel);
        prompts.queueAnswer(PromptAnswer::Ok);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(w.table->rowCount(), 1);
        QCOMPARE(w.editor()->text(), w.stored(w.row(), QStringLiteral("Sector")));
        press(Qt::Key_Delete); // plain Delete edits the text
        QCOMPARE(w.table->rowCount(), 1);
        prompts.queueAnswer(PromptAnswer::Ok);
        press(Qt::Key_Delete, Qt::ControlModifier); // the last row: nothing comes in its place
        QCOMPARE(w.table->rowCount(), 0);
        QCOMPARE(w.table->state(), TableState::Browse);
        QVERIFY(w.grid->hasFocus());
    }

    void otherOptionsOfTheGrid() {
        ScriptedPrompts prompts;
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        for (int i = 1; i <= 3; ++i)
            w.addRow(kPlaceFields, {QString::number(i), QStringLiteral("S%1").arg(i)});
        QVERIFY(w.show());
        // Several rows selected: one question for all of them.
        w.grid->setOptions(w.grid->options() | TDBGridNormal::dgMultiSelect |
                           TDBGridNormal::dgConfirmDelete);
        w.grid->selectionModel()->select(w.grid->model()->index(0, 1), QItemSelectionModel::Select);
        prompts.queueAnswer(PromptAnswer::Ok);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(prompts.texts(), QStringList{QStringLiteral("Delete all selected records?")});
        QCOMPARE(w.table->rowCount(), 1);
        QCOMPARE(w.stored(0, QStringLiteral("Sector")), QStringLiteral("S2"));
        // Without NoEditSelection a cell's text is selected on entry.
        w.grid->setNoEditSelection(false);
        press(Qt::Key_Right);
        press(Qt::Key_Left, Qt::ControlModifier);
        QCOMPARE(w.editor()->selectedText(), QStringLiteral("S2"));
        // Editor not always shown: it opens by typing and closes on leaving the cell.
        w.grid->setOptions(w.grid->options() & ~TDBGridNormal::dgAlwaysShowEditor);
        QVERIFY(w.editor()->isHidden());
        QVERIFY(w.grid->hasFocus());
        type(QStringLiteral("T"));
        QVERIFY(!w.editor()->isHidden());
        QCOMPARE(w.editor()->text(), QStringLiteral("T"));
        press(Qt::Key_Return);
        QVERIFY(w.editor()->isHidden());
        QCOMPARE(w.column(), 1);
        QCOMPARE(w.table->value(QStringLiteral("Sector")).toString(), QStringLiteral("T"));
        // Read-only: nothing is typed, nothing appended.
        w.grid->setOptions(w.grid->options() | TDBGridNormal::dgAlwaysShowEditor);
        w.grid->setReadOnly(true);
        press(Qt::Key_Escape);
        type(QStringLiteral("Z"));
        press(Qt::Key_Down);
        QCOMPARE(w.table->rowCount(), 1);
        QCOMPARE(w.editor()->text(), QString());
    }

    void refusedValueKeepsTheUserInTheCell() {
        ScriptedPrompts prompts;
        GridWindow w(QStringLiteral("Chitante.DB"),
                     {GridColumn::make(QStringLiteral("Suma")),
                      GridColumn::make(QStringLiteral("Explicatie"))});
        w.addRow({QStringLiteral("Suma")}, {QStringLiteral("10")});
        QVERIFY(w.show());
        type(QStringLiteral("x"));
        press(Qt::Key_Return);
        QCOMPARE(prompts.shown().size(), 1);
        QCOMPARE(prompts.shown().at(0).icon, PromptIcon::Error);
        QCOMPARE(w.column(), 0);
        QCOMPARE(w.editor()->text(), QStringLiteral("10x"));
        QVERIFY(!w.editor()->hasSelectedText());
        press(Qt::Key_Backspace);
        type(QStringLiteral("5"));
        press(Qt::Key_Return);
        QCOMPARE(w.column(), 1);
        QCOMPARE(w.table->value(QStringLiteral("Suma")).toDouble(), 105.0);
    }

    // While a refusal or a warning is shown, and after it, the highlighted
    // cell is the one the editor is in; the next Tab goes one column on.
    void theMessageShowsOverTheCellItIsAbout() {
        struct Watching : ScriptedPrompts {
            TDBGridNormal* grid = nullptr;
            QStringList seen;
            PromptAnswer message(const QString& caption, const QString& text, PromptIcon icon,
                                 PromptButtons buttons, PromptAnswer answer) override {
                const QRect editor = grid->inplaceEditor()->geometry();
                const QRect current = grid->visualRect(grid->currentIndex());
                seen << QStringLiteral("%1 at %2, editor %3")
                            .arg(text)
                            .arg(grid->currentIndex().column())
                            .arg(editor == current ? QStringLiteral("there")
                                                   : QStringLiteral("elsewhere"));
                return ScriptedPrompts::message(caption, text, icon, buttons, answer);
            }
        } prompts;
        GridWindow w(QStringLiteral("Chitante.DB"),
                     {GridColumn::make(QStringLiteral("Nr_chit")),
                      GridColumn::make(QStringLiteral("DStart")),
                      GridColumn::make(QStringLiteral("Suma")),
                      GridColumn::make(QStringLiteral("Explicatie"))});
        prompts.grid = w.grid;
        w.addRow({QStringLiteral("Nr_chit")}, {QStringLiteral("1")});
        w.table->setValidator(QStringLiteral("Suma"), [](Table&, const QString&) {
            Prompts::warning(QStringLiteral("Suma mare!"));
        });
        QVERIFY(w.show());
        press(Qt::Key_Return);
        type(QStringLiteral("0.0.0"));
        press(Qt::Key_Return);
        QCOMPARE(w.column(), 1);
        press(Qt::Key_Tab);
        QCOMPARE(w.column(), 1);
        press(Qt::Key_Escape);
        press(Qt::Key_Tab);
        QCOMPARE(w.column(), 2);
        type(QStringLiteral("900"));
        press(Qt::Key_Tab);
        QCOMPARE(w.column(), 3);
        QCOMPARE(prompts.seen,
                 (QStringList{QStringLiteral("'0.0.0' nu este o data valida. at 1, editor there"),
                              QStringLiteral("'0.0.0' nu este o data valida. at 1, editor there"),
                              QStringLiteral("Suma mare! at 2, editor there")}));
    }

    void pickListEnterTakesTheValueWithoutMoving() {
        GridColumn tip = GridColumn::make(QStringLiteral("Tip_incasare"));
        tip.pickList = {QStringLiteral("Concesiune"), QStringLiteral("Taxa anuala"),
                        QStringLiteral("Inhumare")};
        GridWindow w(QStringLiteral("Chitante.DB"),
                     {tip, GridColumn::make(QStringLiteral("Suma"))});
        w.addRow({QStringLiteral("Suma")}, {QStringLiteral("10")});
        QVERIFY(w.show());
        press(Qt::Key_Down, Qt::AltModifier);
        QVERIFY(w.editor()->isListOpen());
        QListWidget* list = w.editor()->listWidget();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        QVERIFY(!w.editor()->isListOpen());
        QCOMPARE(w.editor()->text(), QStringLiteral("Taxa anuala"));
        QCOMPARE(w.column(), 0);
        QTRY_VERIFY(w.editor()->hasFocus());
        press(Qt::Key_Return);
        QCOMPARE(w.column(), 1);
        QCOMPARE(w.table->value(QStringLiteral("Tip_incasare")).toString(),
                 QStringLiteral("Taxa anuala"));
        // Typed text is taken as well, and Esc closes the list unchanged.
        press(Qt::Key_Left, Qt::ControlModifier);
        type(QStringLiteral("!"));
        press(Qt::Key_F4);
        QVERIFY(w.editor()->isListOpen());
        QTest::keyClick(w.editor()->listWidget(), Qt::Key_Escape);
        QVERIFY(!w.editor()->isListOpen());
        QCOMPARE(w.editor()->text(), QStringLiteral("Taxa anuala!"));
    }

    void dataEditsMoveTheFocusAndTheTable() {
        ScriptedPrompts prompts;
        GridWindow w(QStringLiteral("Concesionari.DB"),
                     {GridColumn::make(QStringLiteral("Nr_concesiune")),
                      GridColumn::make(QStringLiteral("Strada"))});
        auto* doc = new TDBEditNormal(&w.window);
        doc->setDataField(w.table, QStringLiteral("Act_concesiune"));
        auto* street = new TDBEditNormal(&w.window);
        street->setDataField(w.table, QStringLiteral("Strada"));
        auto* exempt = new TDBCheckBoxNormal(&w.window);
        exempt->setDataField(w.table, QStringLiteral("Scutit_concesiune"));
        auto* last = new QLineEdit(&w.window);
        w.outside->setFocusPolicy(Qt::NoFocus); // the edits come right after the grid
        for (QWidget* e : std::initializer_list<QWidget*>{doc, street, exempt, last})
            w.window.layout()->addWidget(e);
        const QStringList fields = {QStringLiteral("Nr_concesiune"),
                                    QStringLiteral("Act_concesiune")};
        w.addRow(fields, {QStringLiteral("1"), QStringLiteral("HCL 1")});
        w.addRow(fields, {QStringLiteral("2"), QStringLiteral("HCL 2")});
        w.addRow(fields, {QStringLiteral("3"), QStringLiteral("HCL 3")});
        QVERIFY(w.show());
        doc->setFocus();
        QCOMPARE(doc->text(), QStringLiteral("HCL 3"));

        press(Qt::Key_PageUp);
        QCOMPARE(w.row(), 1);
        QCOMPARE(doc->text(), QStringLiteral("HCL 2"));
        type(QStringLiteral("/b"));
        press(Qt::Key_Return);
        QVERIFY(doc->hasFocus()); // the move comes after the key
        QTRY_VERIFY(street->hasFocus());
        QCOMPARE(w.table->value(QStringLiteral("Act_concesiune")).toString(),
                 QStringLiteral("HCL 2/b"));
        press(Qt::Key_Down);
        QTRY_VERIFY(exempt->hasFocus());
        press(Qt::Key_Space);
        QVERIFY(w.table->value(QStringLiteral("Scutit_concesiune")).toBool());
        press(Qt::Key_Return);
        QTRY_VERIFY(last->hasFocus());
        street->setFocus();
        press(Qt::Key_Up);
        QTRY_VERIFY(doc->hasFocus());
        press(Qt::Key_Up); // back into the grid's cell editor
        QTRY_VERIFY(w.editor()->hasFocus());
        doc->setFocus();
        press(Qt::Key_Up, Qt::ShiftModifier); // nothing with a modifier
        QCoreApplication::processEvents();
        QVERIFY(doc->hasFocus());

        press(Qt::Key_R, Qt::ControlModifier); // the pending edit is saved first
        QCOMPARE(w.table->state(), TableState::Browse);
        QVERIFY(w.table->value(QStringLiteral("Scutit_concesiune")).toBool());
        press(Qt::Key_PageDown);
        QCOMPARE(w.row(), 2);
        type(QStringLiteral("x"));
        press(Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(w.table->state(), TableState::Browse);
        QCOMPARE(doc->text(), QStringLiteral("HCL 3"));
        press(Qt::Key_Insert);
        QCOMPARE(w.table->state(), TableState::Insert);
        press(Qt::Key_Delete, Qt::ControlModifier); // a new row is only dropped
        QCOMPARE(w.table->rowCount(), 3);
        press(Qt::Key_Delete, Qt::ControlModifier); // the current row goes, unasked
        QCOMPARE(w.table->rowCount(), 2);
        QVERIFY(prompts.shown().isEmpty());
    }

    void typingIntoAnEmptyGridStartsItsFirstRow() {
        GridWindow w(QStringLiteral("Catalog.DB"), placeColumns());
        QVERIFY(w.show());
        QVERIFY(w.editor()->isHidden());
        type(QStringLiteral("S1"));
        QCOMPARE(w.table->rowCount(), 1);
        QCOMPARE(w.editor()->text(), QStringLiteral("S1"));
        press(Qt::Key_Return);
        QCOMPARE(w.table->value(QStringLiteral("Sector")).toString(), QStringLiteral("S1"));
    }

    void aTypedKeyTheEditorCannotTakeIsDroppedOnce() {
        // The window is not active yet (a prompt just closed): the editor
        // cannot take the focus, and on a read-only cell not the key either.
        GridWindow w(QStringLiteral("Catalog.DB"), {GridColumn::make(QStringLiteral("Loc")),
                                                    GridColumn::make(QStringLiteral("Sector"))});
        w.addRow({QStringLiteral("Loc"), QStringLiteral("Sector")},
                 {QStringLiteral("7"), QStringLiteral("A")});
        w.grid->setReadOnly(true);
        QVERIFY(!w.window.isVisible());
        QTest::keyClick(w.grid, Qt::Key_X);
        QTest::keyClick(w.grid, Qt::Key_5);
        QVERIFY(!w.table->isEditing());
        QCOMPARE(w.stored(0, QStringLiteral("Loc")), QStringLiteral("7"));
    }

    void theCurrentCellIsFramedEvenWhereItCannotBeTyped() {
        GridWindow w(QStringLiteral("Catalog.DB"), {GridColumn::make(QStringLiteral("Loc")),
                                                    GridColumn::make(QStringLiteral("Sector"))});
        w.addRow({QStringLiteral("Loc"), QStringLiteral("Sector")},
                 {QStringLiteral("7"), QStringLiteral("A")});
        QVERIFY(w.show());
        const QColor frame = w.grid->palette().color(QPalette::Highlight);
        const auto framed = [&] {
            const QImage img = w.editor()->grab().toImage();
            return img.pixelColor(0, img.height() / 2) == frame &&
                   img.pixelColor(img.width() / 2, img.height() - 1) == frame;
        };
        QVERIFY(framed());
        w.grid->setReadOnly(true);
        w.grid->setCurrentIndex(w.grid->model()->index(0, 1));
        QVERIFY(w.editor()->isVisible() && w.editor()->isReadOnly());
        QVERIFY(framed());
        // A read-only cell is also tinted, so it looks unlike a typing cell.
        const QImage img = w.editor()->grab().toImage();
        QVERIFY(img.pixelColor(img.width() - 4, 4) != w.grid->palette().color(QPalette::Base));
    }
};

QTEST_MAIN(TestDBGNorm)
#include "tst_dbgnorm.moc"
