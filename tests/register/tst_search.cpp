// The field search dialog on the register's grids, over a real register file.
#include "CatalogFilter.h"
#include "CatalogSort.h"
#include "DBGNorm.h"
#include "Database.h"
#include "PlaceRegister.h"
#include "Search.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"
#include "XInPlaceEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

namespace {

// The register with a grid on the places, one on the concessions and one
// on the receipts, wired the way the main window wires them.
struct Fixture {
    TempProgramDir dir;
    Database db{dir.file(QStringLiteral("Tombrix.sqlite"))};
    QWidget window;
    PlaceRegister reg{db, &window};
    Table& catalog = reg.catalog();
    Table& conc = reg.concesionari();
    Table& chit = reg.chitante();
    TDBGridNormal* catGrid = new TDBGridNormal(&window);
    TDBGridNormal* concGrid = new TDBGridNormal(&window);
    TDBGridNormal* chitGrid = new TDBGridNormal(&window);
    ScriptedPrompts prompts;

    Fixture() {
        db.open();
        reg.open();
        prompts.queueInput(QStringLiteral("Eternitatea"));
        reg.askUnitName();
        prompts.clear();
        CatalogSort::apply(catalog, 0);
        auto* lay = new QVBoxLayout(&window);
        for (auto [grid, table] : {std::pair{catGrid, &catalog}, std::pair{concGrid, &conc},
                                   std::pair{chitGrid, &chit}}) {
            grid->setTable(table);
            lay->addWidget(grid);
        }
        auto cols = [](const QStringList& fields) {
            QList<GridColumn> out;
            for (const QString& f : fields)
                out << GridColumn::make(f);
            return out;
        };
        catGrid->setColumns(cols({"NrCrt", "Sector", "Loc", "Nume_Uzufruct"}));
        concGrid->setColumns(cols({"Nr_ani_concesiune", "Scutit_concesiune", "Explicatie"}));
        chitGrid->setColumns(cols({"Nr_chit", "Data", "Explicatie"}));
        chitGrid->setConfirmDelete(true);
        window.resize(600, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    void place(const QString& loc, const QString& name, const QString& sector = {}) {
        catalog.append();
        catalog.setValue(QStringLiteral("Loc"), loc);
        catalog.setValue(QStringLiteral("Sector"), sector);
        catalog.setValue(QStringLiteral("Nume_Uzufruct"), name);
        catalog.post();
    }
    // A receipt of the current place.
    void receipt(double nr, const QDate& day, const QString& text = {}) {
        chit.append();
        chit.setValue(QStringLiteral("Nr_chit"), nr);
        chit.setValue(QStringLiteral("Data"), day);
        chit.setValue(QStringLiteral("Explicatie"), text);
        chit.post();
    }
    void focus(TDBGridNormal* grid, int column) {
        grid->setCurrentIndex(
            grid->model()->index(std::max(0, grid->table()->currentRow()), column));
    }
    QString name() const { return catalog.asString(QStringLiteral("Nume_Uzufruct")); }
};

// Types the text and presses the button; what the dialog shows goes to the
// scripted prompts.
void press(TSrchForm& form, QPushButton* button, const QString& text) {
    form.EditSrch->setText(text);
    QVERIFY(button->isEnabled());
    button->click();
}

// Runs `inDialog` against the search dialog once it shows, then closes it.
void whenShown(const std::function<void(TSrchForm&)>& inDialog) {
    QTimer::singleShot(0, [inDialog] {
        auto* form = qobject_cast<TSrchForm*>(QApplication::activeModalWidget());
        QVERIFY(form);
        struct Closer {
            TSrchForm* form;
            ~Closer() { form->reject(); } // also when a check fails
        } closer{form};
        inDialog(*form);
    });
}

const QString kNumeric = QStringLiteral("Acesta nu este un format adecvat de tip numeric");

} // namespace

class TestSearch : public QObject {
    Q_OBJECT
private slots:
    void holderNameInTheCurrentOrder() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Vasile Pop"));
        f.place(QStringLiteral("2"), QStringLiteral("ion popescu"));
        f.place(QStringLiteral("3"), QStringLiteral("Maria Ionescu"));
        f.place(QStringLiteral("4"), QStringLiteral("Ana Marin"));
        f.place(QStringLiteral("5"), QStringLiteral("SIMION ANA"));
        f.catalog.first();
        f.focus(f.catGrid, 3);
        TSrchForm form(f.catGrid, &f.window);
        QVERIFY(form.ExactCheckBox->isVisibleTo(&form));
        QVERIFY(!form.BitBtn1->isEnabled());
        press(form, form.OKBtn, QStringLiteral("ion"));
        QCOMPARE(f.name(), QStringLiteral("ion popescu"));
        press(form, form.BitBtn1, QStringLiteral("ion"));
        QCOMPARE(f.name(), QStringLiteral("Maria Ionescu"));
        press(form, form.BitBtn1, QStringLiteral("ion"));
        QCOMPARE(f.name(), QStringLiteral("SIMION ANA"));
        // Past the last match: the grid stays on it and the button goes off.
        press(form, form.BitBtn1, QStringLiteral("ion"));
        QCOMPARE(f.name(), QStringLiteral("SIMION ANA"));
        QVERIFY(!form.BitBtn1->isEnabled());
        QCOMPARE(f.catGrid->currentIndex().row(), f.catalog.currentRow());
        // In name order the first match is another one.
        CatalogSort::apply(f.catalog, 6);
        press(form, form.OKBtn, QStringLiteral("ion"));
        QCOMPARE(f.name(), QStringLiteral("Maria Ionescu"));
        QVERIFY(form.BitBtn1->isEnabled());
        // Nothing found: no message, the row stays, the button goes off.
        press(form, form.OKBtn, QStringLiteral("xyz"));
        QCOMPARE(f.name(), QStringLiteral("Maria Ionescu"));
        QVERIFY(!form.BitBtn1->isEnabled());
        press(form, form.OKBtn, QString()); // empty finds nothing, silently
        QVERIFY(!form.BitBtn1->isEnabled());
        QVERIFY(f.prompts.shown().isEmpty());
        // The running number is searched as the grid shows it.
        f.focus(f.catGrid, 0);
        QVERIFY(form.SearchColumn(f.catGrid, QStringLiteral("4"), true));
        QCOMPARE(f.catalog.currentRow(), 3);
    }

    void exactMatchAndLetters() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("ion popescu"));
        f.place(QStringLiteral("2"), QStringLiteral("Ionuţ Radu"));
        f.catalog.first();
        f.focus(f.catGrid, 3);
        TSrchForm form(f.catGrid, &f.window);
        form.ExactCheckBox->setChecked(true);
        QVERIFY(!form.SearchColumn(f.catGrid, QStringLiteral("Ion Popescu"), true));
        QVERIFY(!form.SearchColumn(f.catGrid, QStringLiteral("ion"), true));
        QVERIFY(form.SearchColumn(f.catGrid, QStringLiteral("Ionuţ Radu"), true));
        QVERIFY(!form.SearchColumn(f.catGrid, QStringLiteral("Ionut Radu"), true));
        form.ExactCheckBox->setChecked(false);
        // Not exact: letter case and the Romanian marks do not count, on
        // either side; other letters with marks match only themselves.
        for (const char* typed : {"IONUT", "ionuț", "IONUŢ", "ionuţ r"}) {
            f.catalog.first();
            QVERIFY2(form.SearchColumn(f.catGrid, QString::fromUtf8(typed), true), typed);
            QCOMPARE(f.name(), QStringLiteral("Ionuţ Radu"));
        }
        f.place(QStringLiteral("3"), QStringLiteral("ȘTEFĂNESCU Müller"));
        QVERIFY(form.SearchColumn(f.catGrid, QStringLiteral("stefanescu"), true));
        QCOMPARE(f.name(), QStringLiteral("ȘTEFĂNESCU Müller"));
        QVERIFY(form.SearchColumn(f.catGrid, QStringLiteral("şTEFăNESCU Mü"), true));
        QVERIFY(!form.SearchColumn(f.catGrid, QStringLiteral("muller"), true));
    }

    void quotesAndPercentSignsAreLiteral() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Ana Maria"));
        f.place(QStringLiteral("2"), QStringLiteral("Ana_Maria"));
        f.place(QStringLiteral("3"), QStringLiteral("O'Brien \"Bebe\""));
        f.place(QStringLiteral("4"), QStringLiteral("Reducere 50%"));
        f.focus(f.catGrid, 3);
        TSrchForm form(f.catGrid, &f.window);
        const auto only = [&](const QString& text, const QString& expected) {
            QVERIFY2(form.SearchColumn(f.catGrid, text, true), qPrintable(text));
            QCOMPARE(f.name(), expected);
            QVERIFY2(!form.SearchColumn(f.catGrid, text, false), qPrintable(text));
        };
        only(QStringLiteral("_"), QStringLiteral("Ana_Maria"));
        only(QStringLiteral("%"), QStringLiteral("Reducere 50%"));
        only(QStringLiteral("'"), QStringLiteral("O'Brien \"Bebe\""));
        only(QStringLiteral("\"bebe\""), QStringLiteral("O'Brien \"Bebe\""));
        QVERIFY(!form.SearchColumn(f.catGrid, QStringLiteral("' OR 1=1 --"), true));
    }

    void numbersDatesAndTheirMessages() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Pop"));
        f.receipt(112, QDate(2024, 1, 5));
        f.receipt(12, QDate(2024, 3, 5), QStringLiteral("taxa"));
        f.receipt(120, QDate(2024, 6, 5));
        f.chit.first();
        f.focus(f.chitGrid, 0);
        TSrchForm form(f.chitGrid, &f.window);
        QVERIFY(!form.ExactCheckBox->isVisibleTo(&form));
        press(form, form.OKBtn, QStringLiteral("12"));
        QCOMPARE(f.chit.asFloat(QStringLiteral("Nr_chit")), 12.0);
        QVERIFY(form.BitBtn1->isEnabled());
        QVERIFY(form.SearchColumn(f.chitGrid, QStringLiteral("12.0"), true));
        QCOMPARE(f.chit.currentRow(), 1);
        // A bad text after "&Urmator" leaves the button as it was...
        f.prompts.clear();
        press(form, form.BitBtn1, QStringLiteral("abc"));
        QCOMPARE(f.prompts.texts(), QStringList{kNumeric});
        QCOMPARE(f.prompts.shown().at(0).icon, PromptIcon::Information);
        QCOMPARE(f.chit.currentRow(), 1);
        QVERIFY(form.BitBtn1->isEnabled());
        // ...and after "&Start" it is off; an empty text is no number either.
        press(form, form.OKBtn, QString());
        QCOMPARE(f.prompts.texts(), (QStringList{kNumeric, kNumeric}));
        QVERIFY(!form.BitBtn1->isEnabled());
        QCOMPARE(f.chit.currentRow(), 1);

        f.focus(f.chitGrid, 1);
        TSrchForm dates(f.chitGrid, &f.window);
        f.prompts.clear();
        QVERIFY_THROWS_EXCEPTION(
            Abort, dates.SearchColumn(f.chitGrid, QStringLiteral("31/02/2024"), true));
        QCOMPARE(f.prompts.texts(),
                 QStringList{QStringLiteral("Acesta nu este un format adecvat de tip Data")});
        QVERIFY(dates.SearchColumn(f.chitGrid, QStringLiteral("05/06/2024"), true));
        QCOMPARE(f.chit.asFloat(QStringLiteral("Nr_chit")), 120.0);
    }

    void otherFieldTypes() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Pop"));
        f.conc.append();
        f.conc.setValue(QStringLiteral("Nr_ani_concesiune"), 5);
        f.conc.post();
        f.prompts.clear();
        f.focus(f.concGrid, 0);
        TSrchForm form(f.concGrid, &f.window);
        QVERIFY_THROWS_EXCEPTION(Abort, form.SearchColumn(f.concGrid, QStringLiteral("5.5"), true));
        QVERIFY(form.SearchColumn(f.concGrid, QStringLiteral(" 5"), true));
        for (int column : {1, 2}) { // a logical and a memo field
            f.focus(f.concGrid, column);
            QVERIFY_THROWS_EXCEPTION(Abort,
                                     form.SearchColumn(f.concGrid, QStringLiteral("1"), true));
        }
        QCOMPARE(f.prompts.texts(),
                 (QStringList{QStringLiteral("Acesta nu este un format adecvat de tip Intreg"),
                              QStringLiteral("Acest tip de date nu poate fi cautat"),
                              QStringLiteral("Acest tip de date nu poate fi cautat")}));
    }

    void filteredRegisterWalksOnlyPassingRows() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Ion Albu"), QStringLiteral("B"));
        f.place(QStringLiteral("2"), QStringLiteral("Ion Barbu"), QStringLiteral("A"));
        f.place(QStringLiteral("3"), QStringLiteral("Ion Cirstea"), QStringLiteral("B"));
        f.place(QStringLiteral("4"), QStringLiteral("Ion Dinu"), QStringLiteral("A"));
        CatalogSort::apply(f.catalog, 4); // by place number
        f.reg.filter().setText(0, QStringLiteral("A"));
        f.catalog.setFiltered(true);
        f.focus(f.catGrid, 3);
        TSrchForm form(f.catGrid, &f.window);
        QStringList found;
        for (bool first = true; form.SearchColumn(f.catGrid, QStringLiteral("ion"), first);
             first = false)
            found << f.name();
        QCOMPARE(found, (QStringList{QStringLiteral("Ion Barbu"), QStringLiteral("Ion Dinu")}));
    }

    void pendingTypingIsSavedAndSearched() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Pop"));
        f.place(QStringLiteral("2"), QStringLiteral("Dinu"));
        f.catalog.first();
        f.catalog.edit();
        f.catalog.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Zamfir"));
        f.focus(f.catGrid, 3);
        TSrchForm form(f.catGrid, &f.window);
        QVERIFY(form.SearchColumn(f.catGrid, QStringLiteral("zamf"), true));
        QCOMPARE(f.catalog.currentRow(), 0);
        QCOMPARE(f.catalog.state(), TableState::Browse);
        QCOMPARE(scalarOf(f.db, QStringLiteral(
                                    "SELECT count(*) FROM Catalog WHERE Nume_Uzufruct = 'Zamfir'")),
                 1);
    }

    void foundRowFlashesAndTheGridKeepsItsOptions() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Pop"));
        for (int i = 1; i <= 3; ++i)
            f.receipt(i, QDate(2024, 1, i));
        f.receipt(4, QDate(2024, 1, 9), QStringLiteral("reparatie"));
        f.chit.first();
        f.focus(f.chitGrid, 2);
        f.chitGrid->setFocus();
        const TDBGridNormal::Options own = f.chitGrid->options();
        TSrchForm form(f.chitGrid, &f.window);
        bool wholeRow = false;
        QTimer::singleShot(TSrchForm::HighlightMs / 2, [&] {
            const auto* sel = f.chitGrid->selectionModel();
            wholeRow = f.chitGrid->options().testFlag(TDBGridNormal::dgRowSelect) &&
                       sel->isRowSelected(3, {}) && !sel->isRowSelected(0, {});
        });
        QVERIFY(form.SearchColumn(f.chitGrid, QStringLiteral("PARAT"), true));
        QVERIFY(wholeRow);
        QCOMPARE(f.chit.currentRow(), 3);
        QCOMPARE(f.chitGrid->options(), own);
        QVERIFY(f.chitGrid->confirmDelete());
        QCOMPARE(f.chitGrid->selectionBehavior(), QAbstractItemView::SelectItems);
        QCOMPARE(f.chitGrid->currentIndex(), f.chitGrid->model()->index(3, 2));
        QVERIFY(f.chitGrid->inplaceEditor()->isVisible());
        // Tab still goes from cell to cell.
        f.focus(f.chitGrid, 0);
        QVERIFY(f.chitGrid->gridKeyDown(Qt::Key_Tab, Qt::NoModifier));
        QCOMPARE(f.chitGrid->currentIndex().column(), 1);
    }

    void receiptOfAnotherPlaceMakesItCurrent() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Pop"), QStringLiteral("A"));
        f.receipt(5, QDate(2024, 1, 1));
        f.receipt(6, QDate(2024, 1, 2));
        f.place(QStringLiteral("2"), QStringLiteral("Dinu"), QStringLiteral("B"));
        f.receipt(7, QDate(2024, 1, 3));
        f.receipt(8, QDate(2024, 1, 4));
        f.catalog.first();
        f.focus(f.chitGrid, 0);
        whenShown([&](TSrchForm& form) {
            QVERIFY(!f.chit.linkEnabled());
            QCOMPARE(f.chit.rowCount(), 4); // the rows of every place
            QCOMPARE(form.windowTitle(), QStringLiteral("Nr_chit : Cauta"));
            press(form, form.OKBtn, QStringLiteral("8"));
            QCOMPARE(f.chit.asFloat(QStringLiteral("Nr_chit")), 8.0);
        });
        SearchPlace(f.chitGrid, f.catalog, &f.window);
        QCOMPARE(f.name(), QStringLiteral("Dinu"));
        QVERIFY(f.chit.linkEnabled());
        QCOMPARE(f.chit.rowCount(), 2);
        QCOMPARE(f.chit.currentRow(), 0); // from the place's first receipt
        QCOMPARE(f.chit.asFloat(QStringLiteral("Nr_chit")), 7.0);

        // A place the register's filter hides does not become current.
        f.reg.filter().setText(0, QStringLiteral("B"));
        f.catalog.setFiltered(true);
        whenShown([&](TSrchForm& form) { press(form, form.OKBtn, QStringLiteral("5")); });
        SearchPlace(f.chitGrid, f.catalog, &f.window);
        QCOMPARE(f.name(), QStringLiteral("Dinu"));
        QCOMPARE(f.chit.rowCount(), 2);
        QCOMPARE(f.chit.asFloat(QStringLiteral("Nr_chit")), 7.0);
    }

    // A detail table left cut from the register would show every place's
    // rows and give new rows no place: the link comes back on failure too.
    void linkIsRestoredWhenMovingTheRegisterFails() {
        Fixture f;
        f.place(QStringLiteral("1"), QStringLiteral("Pop"));
        f.receipt(5, QDate(2024, 1, 1));
        f.place(QStringLiteral("2"), QStringLiteral("Dinu"));
        f.receipt(7, QDate(2024, 1, 3));
        f.db.exec(QStringLiteral("CREATE TRIGGER blocat BEFORE UPDATE ON Catalog "
                                 "BEGIN SELECT RAISE(ABORT, 'blocat'); END"));
        f.catalog.edit(); // a change to Dinu's place that cannot be saved
        f.catalog.setValue(QStringLiteral("Observatii"), QStringLiteral("nota"));
        f.focus(f.chitGrid, 0);
        whenShown([&](TSrchForm& form) { press(form, form.OKBtn, QStringLiteral("5")); });
        QVERIFY_THROWS_EXCEPTION(StoreError, SearchPlace(f.chitGrid, f.catalog, &f.window));
        QVERIFY(f.chit.linkEnabled());
        QCOMPARE(f.chit.rowCount(), 1);
        QCOMPARE(f.chit.asFloat(QStringLiteral("Nr_chit")), 7.0);
        QCOMPARE(f.catalog.state(), TableState::Edit); // the typing is still there
        QCOMPARE(f.catalog.asString(QStringLiteral("Observatii")), QStringLiteral("nota"));
    }
};

QTEST_MAIN(TestSearch)
#include "tst_search.moc"
