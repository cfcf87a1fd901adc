// The place and its detail tabs always agree: a detail row the field or
// the store refuses keeps the register where it is, whatever the clerk
// presses to move it, and no detail row is ever stored on another place.
#include "DBGNorm.h"
#include "DBNavigator.h"
#include "ExemptionGroup.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "PlaceHeader.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"
#include "Values.h"
#include "dbdate.h"

#include <QComboBox>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

const QString kIdLoc = QStringLiteral("Id_Loc");

void addPlace(Table& cat, int loc) {
    cat.append();
    cat.setValue(QStringLiteral("Loc"), QString::number(loc));
    cat.post();
}

void addReceipt(Table& chit, int nr) {
    chit.append();
    chit.setValue(QStringLiteral("Nr_chit"), nr);
    chit.setValue(QStringLiteral("Data"), QDate(2024, 1, 1));
    chit.setValue(QStringLiteral("DStart"), QDate(2024, 1, 1));
    chit.post();
}

int columnOf(TDBGridNormal* grid, const QString& field) {
    const QList<GridColumn> cols = grid->layoutColumns();
    for (int c = 0; c < cols.size(); ++c)
        if (cols.at(c).fieldName == field)
            return c;
    return -1;
}

void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key), mods);
}

void type(const QString& text) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClicks(w, text);
}

struct Window {
    TempProgramDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<TMainForm> form;
    QTabWidget* pages = nullptr;

    Window() {
        prompts.queueInput(QStringLiteral("U"));
        form = std::make_unique<TMainForm>(dir.path());
        pages = form->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
    }
    ~Window() {
        // Whatever is left pending goes without a question.
        for (Table* t :
             {form->Chitante(), form->PersInmormantate(), form->Concesionari(), form->Catalog()})
            if (t->isActive() && t->isEditing())
                t->cancel();
    }
    bool show() {
        form->show();
        return QTest::qWaitForWindowActive(form.get());
    }
    TDBGridNormal* grid(const char* name) const {
        return form->findChild<TDBGridNormal*>(QString::fromLatin1(name));
    }
    void openTab(int index, const char* gridName) {
        pages->setCurrentIndex(index);
        grid(gridName)->setFocus();
    }
    QString currentLoc() const { return form->Catalog()->asString(QStringLiteral("Loc")); }
    double currentPlace() const { return form->Catalog()->asFloat(kIdLoc); }

    // The header, each detail grid's rows and the register's current place
    // say the same place.
    QString disagreement() const {
        Table* cat = form->Catalog();
        const bool none = cat->currentRow() < 0;
        for (const char* h : {"IstoricGridHeader", "MortiGridHeader", "ChitanteGridHeader"}) {
            const auto* header = form->findChild<PlaceHeader*>(QString::fromLatin1(h));
            if (header->shown(QStringLiteral("Loc")) != (none ? QString() : currentLoc()))
                return QStringLiteral("%1 shows %2, the register %3")
                    .arg(QString::fromLatin1(h), header->shown(QStringLiteral("Loc")),
                         currentLoc());
        }
        for (Table* d : {form->Concesionari(), form->PersInmormantate(), form->Chitante()}) {
            if (!d->linkEnabled())
                continue;
            const int f = d->fieldIndex(kIdLoc);
            for (int r = 0; r < d->rowCount(); ++r) {
                const QVariant v = d->valueAt(r, f);
                if (none || v.toDouble() != currentPlace())
                    return QStringLiteral("%1 row %2 is of place %3, the register on %4")
                        .arg(d->objectName())
                        .arg(r)
                        .arg(v.toString())
                        .arg(currentPlace());
            }
        }
        return {};
    }
};

} // namespace

class TestDetailLink : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1")); }
    void init() { Values::setDateLocale(QLocale(QLocale::Romanian, QLocale::Romania)); }
    void cleanup() { Values::setDateLocale(QLocale::c()); }

    // An unreadable date in a receipt: no way of moving the register gets
    // past it, and the receipt typed afterwards goes to the place shown.
    void aRefusedReceiptDateHoldsTheRegister() {
        Window w;
        Table& cat = *w.form->Catalog();
        Table& chit = *w.form->Chitante();
        addPlace(cat, 1);
        addPlace(cat, 2);
        addReceipt(chit, 7);
        QVERIFY(w.show());
        w.openTab(3, "ChitanteGrid");
        TDBGridNormal* grid = w.grid("ChitanteGrid");
        grid->setCurrentIndex(grid->model()->index(0, columnOf(grid, QStringLiteral("DStart"))));
        auto* editor = grid->findChild<QLineEdit*>(QStringLiteral("InplaceEditor"));
        QVERIFY(editor && editor->isVisible());
        editor->setFocus();
        editor->selectAll();
        type(QStringLiteral("0.0.0"));
        press(Qt::Key_Return);
        const QString refused = QStringLiteral("'0.0.0' nu este o data valida.");
        QCOMPARE(w.prompts.texts().count(refused), 1);
        QCOMPARE(grid->currentIndex().column(), columnOf(grid, QStringLiteral("DStart")));

        // Alt+C: the message again, and the clerk stays with the receipt.
        press(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(w.prompts.texts().count(refused), 2);
        QCOMPARE(w.pages->currentIndex(), 3);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(editor));

        // Every way of moving the register is refused with the same words.
        for (const auto& move : std::initializer_list<std::function<void()>>{
                 [&] { cat.first(); }, [&] { cat.prior(); }, [&] { cat.moveTo(0); },
                 [&] { cat.refresh(); }, [&] { cat.setFiltered(true); },
                 [&] { cat.setIndexName(QString()); }, [&] { cat.append(); },
                 [&] { cat.locate(QStringLiteral("Loc"), QStringLiteral("1")); },
                 [&] { cat.remove(); }, [&] { w.form->SortComboClick(); }}) {
            bool refusedMove = false;
            try {
                move();
            } catch (const StoreError& e) {
                refusedMove = e.message().startsWith(QStringLiteral("'0.0.0'"));
            }
            QVERIFY(refusedMove);
            QCOMPARE(w.currentLoc(), QStringLiteral("2"));
            QCOMPARE(cat.state(), TableState::Browse);
            QCOMPARE(cat.recordCount(), 2);
            QVERIFY2(w.disagreement().isEmpty(), qPrintable(w.disagreement()));
        }
        // The order chosen in the box stays the one the register is in.
        auto* sort = w.form->findChild<QComboBox*>(QStringLiteral("SortCombo"));
        sort->setCurrentIndex(2);
        QVERIFY_THROWS_EXCEPTION(StoreError, w.form->SortComboClick());
        QCOMPARE(sort->currentIndex(), 0);
        w.prompts.clear();
        w.form->findChild<QToolButton*>(QStringLiteral("FirstBtn"))->click();
        QCOMPARE(w.currentLoc(), QStringLiteral("2"));
        QCOMPARE(w.prompts.texts().count(refused), 1);

        // The clerk drops the typing and types a new receipt.
        editor->setFocus();
        QCOMPARE(chit.state(), TableState::Edit);
        press(Qt::Key_Escape);
        press(Qt::Key_Escape);
        QCOMPARE(chit.state(), TableState::Browse);
        press(Qt::Key_Home); // the caret to the start of the text
        press(Qt::Key_Home); // the first column
        press(Qt::Key_Insert);
        type(QStringLiteral("8"));
        press(Qt::Key_Return);
        type(QStringLiteral("02.02.2024"));
        press(Qt::Key_Return);
        type(QStringLiteral("15"));
        press(Qt::Key_Up);
        QCOMPARE(chit.state(), TableState::Browse);
        QVERIFY2(w.disagreement().isEmpty(), qPrintable(w.disagreement()));
        chit.setLinkEnabled(false);
        QCOMPARE(chit.recordCount(), 2);
        for (chit.first(); !chit.eof(); chit.next())
            QCOMPARE(chit.asFloat(kIdLoc), w.currentPlace());
        chit.setLinkEnabled(true);

        // Settled, the register moves again and the tab follows.
        press(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(w.pages->currentIndex(), 0);
        press(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(w.currentLoc(), QStringLiteral("1"));
        QCOMPARE(chit.recordCount(), 0);
        QVERIFY2(w.disagreement().isEmpty(), qPrintable(w.disagreement()));
    }

    // The same with an unreadable exemption date on the concessions tab.
    void aRefusedExemptionDateHoldsTheRegister() {
        Window w;
        Table& cat = *w.form->Catalog();
        Table& con = *w.form->Concesionari();
        addPlace(cat, 1);
        addPlace(cat, 2);
        con.append();
        con.setValue(QStringLiteral("Nr_concesiune"), 1);
        con.setValue(QStringLiteral("Scutit_concesiune"), true);
        con.post();
        QVERIFY(w.show());
        w.openTab(1, "IstoricGrid");
        TDBDateEdit* date = w.form->exemption()->DBDateEdit1;
        date->setFocus();
        QTRY_VERIFY(date->hasFocus());
        type(QStringLiteral("99.99.9999"));
        QVERIFY(con.isEditing());
        w.prompts.clear();
        // Neither the tab nor the register can be left for another place.
        press(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(w.pages->currentIndex(), 1);
        QVERIFY2(w.prompts.texts().join(QLatin1Char('|')).contains(QStringLiteral("99.99.9999")),
                 qPrintable(w.prompts.texts().join(QLatin1Char('|'))));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(date));
        w.form->findChild<QToolButton*>(QStringLiteral("FirstBtn"))->click();
        QCOMPARE(w.currentLoc(), QStringLiteral("2"));
        QCOMPARE(con.recordCount(), 1);
        QVERIFY2(w.disagreement().isEmpty(), qPrintable(w.disagreement()));
        // Dropped, the register moves and the tab follows.
        press(Qt::Key_Escape);
        con.cancel();
        w.form->findChild<QToolButton*>(QStringLiteral("FirstBtn"))->click();
        QCOMPARE(w.currentLoc(), QStringLiteral("1"));
        QCOMPARE(con.recordCount(), 0);
    }

    // Random keys over the four grids, with refused values among the typed
    // ones: after every key the tabs show the register's place, and every
    // receipt is stored on the place that was shown when it was typed.
    void randomKeysKeepThePlaceAndItsTabsTogether_data() {
        QTest::addColumn<quint32>("seed");
        for (quint32 seed : {1u, 2u, 3u})
            QTest::newRow(qPrintable(QString::number(seed))) << seed;
    }
    void randomKeysKeepThePlaceAndItsTabsTogether() {
        QFETCH(quint32, seed);
        Window w;
        Table& cat = *w.form->Catalog();
        Table& chit = *w.form->Chitante();
        for (int loc = 1; loc <= 4; ++loc) {
            addPlace(cat, loc);
            addReceipt(chit, 100 + loc);
        }
        QVERIFY(w.show());
        w.grid("CatGrid")->setFocus();
        QRandomGenerator rng(seed);
        const QStringList texts = {QStringLiteral("0.0.0"),        QStringLiteral("05.03.-2024"),
                                   QStringLiteral("abc"),          QStringLiteral("12"),
                                   QStringLiteral("01.02.2020"),   QStringLiteral("x"),
                                   QStringLiteral("1234567890123")};
        const QList<QPair<int, const char*>> tabs = {
            {0, "CatGrid"}, {1, "IstoricGrid"}, {2, "MortiGrid"}, {3, "ChitanteGrid"}};
        const QList<int> keys = {Qt::Key_Up,     Qt::Key_Down,   Qt::Key_Tab,   Qt::Key_Return,
                                 Qt::Key_Insert, Qt::Key_Escape, Qt::Key_Home,  Qt::Key_End,
                                 Qt::Key_PageUp, Qt::Key_Left,   Qt::Key_Right, Qt::Key_PageDown};
        // Receipt numbers typed, with the place shown when each was typed.
        QHash<int, double> typedOn;
        int nextNumber = 500;
        for (int step = 0; step < 500; ++step) {
            const quint32 pick = rng.bounded(20u);
            QString did;
            if (pick < 2) {
                const auto& [index, name] = tabs.at(rng.bounded(tabs.size()));
                w.openTab(index, name);
                did = QStringLiteral("tab %1").arg(index);
            } else if (pick < 4) {
                press(rng.bounded(2) ? Qt::Key_Home : Qt::Key_End, Qt::ControlModifier);
                did = QStringLiteral("ctrl+home/end");
            } else if (pick < 7) {
                const QString t = texts.at(rng.bounded(texts.size()));
                type(t);
                did = QStringLiteral("typed ") + t;
            } else if (pick < 10) {
                // A receipt typed whole: number first, on a new row.
                if (w.pages->currentIndex() != 3)
                    w.openTab(3, "ChitanteGrid");
                press(Qt::Key_Insert);
                if (chit.state() == TableState::Insert) {
                    const int nr = nextNumber++;
                    press(Qt::Key_Home);
                    type(QString::number(nr));
                    typedOn.insert(nr, w.currentPlace());
                    press(Qt::Key_Return);
                    if (rng.bounded(2))
                        press(Qt::Key_Down); // saved at once, or left to what follows
                    did = QStringLiteral("receipt %1").arg(nr);
                }
            } else {
                const int key = keys.at(rng.bounded(keys.size()));
                press(key);
                did = QStringLiteral("key %1").arg(key, 0, 16);
            }
            const QString problem = w.disagreement();
            QVERIFY2(problem.isEmpty(),
                     qPrintable(QStringLiteral("step %1 (%2): %3").arg(step).arg(did, problem)));
            // A receipt still being typed carries the place it was started on.
            if (chit.isEditing() && chit.state() == TableState::Insert) {
                const int nr = chit.asInteger(QStringLiteral("Nr_chit"));
                if (typedOn.contains(nr))
                    QCOMPARE(chit.asFloat(kIdLoc), typedOn.value(nr));
            }
        }
        for (Table* t : {&chit, w.form->PersInmormantate(), w.form->Concesionari(), &cat})
            if (t->isEditing())
                t->cancel();
        chit.setLinkEnabled(false);
        int checked = 0;
        for (chit.first(); !chit.eof(); chit.next()) {
            const int nr = chit.asInteger(QStringLiteral("Nr_chit"));
            if (typedOn.contains(nr)) {
                QCOMPARE(chit.asFloat(kIdLoc), typedOn.value(nr));
                ++checked;
            }
        }
        chit.setLinkEnabled(true);
        QVERIFY2(checked >= 1,
                 qPrintable(QStringLiteral("%1 of %2").arg(checked).arg(typedOn.size())));
    }
};

QTEST_MAIN(TestDetailLink)
#include "tst_detaillink.moc"
