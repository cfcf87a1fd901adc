// The concession tab's exemption group and rules, and the buried persons
// and receipts tabs, on the main window of a temporary register.
#include "DBCheckBoxNormal.h"
#include "DBGNorm.h"
#include "DBMemo.h"
#include "ExemptionGroup.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "Table.h"
#include "TestSupport.h"
#include "dbdate.h"

#include <QLabel>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

namespace {

const QString kScutit = QStringLiteral("Scutit_concesiune");

bool documentShown(const ExemptionGroup* g) {
    const QList<QWidget*> six = {g->Label17,     g->DBEditNormal1, g->Label18,
                                 g->DBDateEdit1, g->Label19,       g->DBMemo1};
    int shown = 0;
    for (QWidget* w : six)
        shown += w->isHidden() ? 0 : 1;
    if (shown != 0 && shown != six.size())
        qWarning("the six document controls disagree");
    return shown == six.size();
}

void addPlace(Table& cat, const QString& loc, const QString& holder = {}) {
    cat.append();
    cat.setValue(QStringLiteral("Loc"), loc);
    if (!holder.isEmpty())
        cat.setValue(QStringLiteral("Nume_Uzufruct"), holder);
    cat.post();
}

int columnOf(TDBGridNormal* grid, const QString& field) {
    const QList<GridColumn> cols = grid->layoutColumns();
    for (int c = 0; c < cols.size(); ++c)
        if (cols.at(c).fieldName == field)
            return c;
    return -1;
}

} // namespace

class TstConcession : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1")); }

    void exemptionFollowsTheConcession() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        Table& cat = *form.Catalog();
        Table& con = *form.Concesionari();
        ExemptionGroup* g = form.exemption();
        QVERIFY(g);

        addPlace(cat, QStringLiteral("1"));
        QVERIFY(!documentShown(g)); // no concessions: hidden
        QVERIFY(!g->DBCheckBoxNormal1->isHidden());

        // A new concession starts unticked, the document hidden.
        con.append();
        QCOMPARE(con.value(kScutit).toBool(), false);
        QVERIFY(!con.value(kScutit).isNull());
        QVERIFY(!documentShown(g));
        con.setValue(QStringLiteral("Nr_concesiune"), 1);
        con.setValue(QStringLiteral("Data_concesiune"), QDate(2001, 1, 1));
        con.post();

        // Ticking shows the six controls before the row is saved.
        g->DBCheckBoxNormal1->click();
        QCOMPARE(con.state(), TableState::Edit);
        QVERIFY(documentShown(g));
        con.setValue(QStringLiteral("Nr_doc_scutit"), QStringLiteral("D-17"));
        con.setValue(QStringLiteral("Data_doc_scutit"), QDate(2001, 2, 3));
        con.setValue(QStringLiteral("Explicatie"), QStringLiteral("veteran"));
        con.post();

        con.append();
        con.setValue(QStringLiteral("Nr_concesiune"), 2);
        con.setValue(QStringLiteral("Data_concesiune"), QDate(2010, 1, 1));
        con.post();
        QVERIFY(!documentShown(g));

        // Moving between them shows and hides.
        con.first();
        QCOMPARE(con.value(QStringLiteral("Nr_concesiune")).toInt(), 1);
        QVERIFY(documentShown(g));
        QCOMPARE(g->DBEditNormal1->text(), QStringLiteral("D-17"));
        con.next();
        QVERIFY(!documentShown(g));
        con.first();
        QVERIFY(documentShown(g));

        // Unticking hides them and keeps what they hold.
        g->DBCheckBoxNormal1->click();
        QVERIFY(!documentShown(g));
        con.post();
        QCOMPARE(con.value(QStringLiteral("Nr_doc_scutit")).toString(), QStringLiteral("D-17"));
        QCOMPARE(con.value(QStringLiteral("Data_doc_scutit")).toDate(), QDate(2001, 2, 3));
        QCOMPARE(con.value(QStringLiteral("Explicatie")).toString(), QStringLiteral("veteran"));
        g->DBCheckBoxNormal1->click();
        QVERIFY(documentShown(g));
        QCOMPARE(g->DBEditNormal1->text(), QStringLiteral("D-17"));

        // Another place without concessions: hidden again.
        con.post();
        addPlace(cat, QStringLiteral("2"));
        QCOMPARE(con.recordCount(), 0);
        QVERIFY(!documentShown(g));
        cat.first();
        QVERIFY(documentShown(g));
    }

    void tabFromTheGridReachesTheDocument() {
        // Tab from the last cell of an untouched new row leaves the grid;
        // the new row is dropped, and the keys go to the document number of
        // the ticked concession that stays current, not past its hidden line.
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        Table& cat = *form.Catalog();
        Table& con = *form.Concesionari();
        ExemptionGroup* g = form.exemption();
        addPlace(cat, QStringLiteral("1"));
        con.append();
        con.setValue(QStringLiteral("Nr_concesiune"), 1);
        con.setValue(QStringLiteral("Data_concesiune"), QDate(2001, 1, 1));
        con.setValue(kScutit, true);
        con.post();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("IstoricGrid"));
        QVERIFY(pages && grid);
        pages->setCurrentIndex(1);
        grid->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QVERIFY(documentShown(g));

        const int last = columnOf(grid, QStringLiteral("Observatii"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QCOMPARE(grid->currentIndex().column(), last);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // appends a row
        QCOMPARE(con.state(), TableState::Insert);
        QVERIFY(!documentShown(g));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
        QCOMPARE(grid->currentIndex().column(), last);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // leaves the grid
        QCOMPARE(con.state(), TableState::Browse);
        QCOMPARE(con.recordCount(), 1);
        QVERIFY(documentShown(g));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(g->DBEditNormal1));
    }

    // The exemption box has an Alt key no other control of the window uses,
    // and it reaches the box from the concession grid.
    void theExemptionHasAnAltKeyOfItsOwn() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        Table& con = *form.Concesionari();
        addPlace(*form.Catalog(), QStringLiteral("1"));
        con.append();
        con.setValue(QStringLiteral("Nr_concesiune"), 1);
        con.post();
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        const auto mnemonic = [](const QString& text) {
            static const QRegularExpression amp(QStringLiteral("&([^&])"));
            const auto m = amp.match(text);
            return m.hasMatch() ? m.captured(1).at(0).toLower() : QChar();
        };
        QStringList owners;
        const QChar key = mnemonic(form.exemption()->DBCheckBoxNormal1->text());
        QVERIFY(!key.isNull());
        for (const QAbstractButton* b : form.findChildren<QAbstractButton*>())
            if (mnemonic(b->text()) == key)
                owners << b->objectName();
        auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        for (int i = 0; i < pages->count(); ++i)
            if (pages->isTabVisible(i) && mnemonic(pages->tabText(i)) == key)
                owners << pages->tabText(i);
        for (const QAction* a : form.menuBar()->actions())
            if (mnemonic(a->text()) == key)
                owners << a->text();
        QCOMPARE(owners, QStringList{QStringLiteral("DBCheckBoxNormal1")});

        pages->setCurrentIndex(1);
        form.findChild<TDBGridNormal*>(QStringLiteral("IstoricGrid"))->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key.toUpper().unicode()),
                        Qt::AltModifier);
        QTRY_COMPARE(QApplication::focusWidget(),
                     static_cast<QWidget*>(form.exemption()->DBCheckBoxNormal1));
    }

    void concessionLeavesThePlaceHolderAlone() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        Table& cat = *form.Catalog();
        Table& con = *form.Concesionari();
        addPlace(cat, QStringLiteral("7"), QStringLiteral("Ionescu Maria"));
        con.append();
        con.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Popescu Dan"));
        con.setValue(QStringLiteral("CNP_Uzufruct"), QStringLiteral("1234567890123"));
        con.post();
        QCOMPARE(prompts.texts().count(QStringLiteral("Cod personal incorect!")), 1);
        QCOMPARE(con.value(QStringLiteral("CNP_Uzufruct")).toString(),
                 QStringLiteral("1234567890123"));
        cat.refresh();
        QCOMPARE(cat.value(QStringLiteral("Nume_Uzufruct")).toString(),
                 QStringLiteral("Ionescu Maria"));
        QVERIFY(cat.value(QStringLiteral("CNP_Uzufruct")).isNull());
    }

    void memoIsKeptWhole() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        addPlace(*form.Catalog(), QStringLiteral("3"));
        Table& con = *form.Concesionari();
        con.append();
        con.post();
        form.exemption()->DBCheckBoxNormal1->click();
        const QString longText = QString(70000, QLatin1Char('x')) + QStringLiteral("\nsfarsit");
        form.exemption()->DBMemo1->setPlainText(longText);
        con.post(); // the memo hands its text over before the row is saved
        con.refresh();
        QCOMPARE(con.value(QStringLiteral("Explicatie")).toString(), longText);
    }

    void receiptsAndBuriedPersons() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        Table& cat = *form.Catalog();
        Table& chit = *form.Chitante();
        Table& pers = *form.PersInmormantate();
        auto* chitGrid = form.findChild<TDBGridNormal*>(QStringLiteral("ChitanteGrid"));
        auto* mortiGrid = form.findChild<TDBGridNormal*>(QStringLiteral("MortiGrid"));
        const int tip = columnOf(chitGrid, QStringLiteral("Tip_incasare"));
        const int expl = columnOf(chitGrid, QStringLiteral("Explicatie"));
        QVERIFY(tip >= 0 && expl >= 0);

        for (int place = 1; place <= 2; ++place) {
            addPlace(cat, QString::number(place));
            for (int r = 0; r < place; ++r) {
                pers.append();
                pers.setValue(QStringLiteral("Numele"), QStringLiteral("P%1-%2").arg(place).arg(r));
                pers.post();
            }
            chit.append();
            chit.setValue(QStringLiteral("Nr_chit"), place);
            chit.post();
        }
        // A typed type outside the list is stored as typed; a pasted long
        // text is cut to the field's size.
        QVERIFY(chitGrid->model()->setData(chitGrid->model()->index(0, tip),
                                           QStringLiteral("Taxa speciala")));
        const QString pasted = QString(5000, QChar(0x0103)) + QString(5000, QLatin1Char('z'));
        QVERIFY(chitGrid->model()->setData(chitGrid->model()->index(0, expl), pasted));
        chit.post();
        chit.refresh();
        QCOMPARE(chit.value(QStringLiteral("Tip_incasare")).toString(),
                 QStringLiteral("Taxa speciala"));
        QCOMPARE(chit.value(QStringLiteral("Explicatie")).toString(), pasted.left(50));

        // Both grids follow the place at once.
        cat.first();
        QCOMPARE(mortiGrid->model()->rowCount(), 1);
        QCOMPARE(chitGrid->model()->rowCount(), 1);
        QCOMPARE(chit.value(QStringLiteral("Nr_chit")).toInt(), 1);
        cat.next();
        QCOMPARE(mortiGrid->model()->rowCount(), 2);
        QCOMPARE(chitGrid->model()->rowCount(), 1);
        QCOMPARE(chit.value(QStringLiteral("Nr_chit")).toInt(), 2);
        QCOMPARE(chit.value(QStringLiteral("Tip_incasare")).toString(),
                 QStringLiteral("Taxa speciala"));
    }
};

QTEST_MAIN(TstConcession)
#include "tst_concession.moc"
