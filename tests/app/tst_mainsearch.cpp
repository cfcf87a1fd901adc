// The toolbar's "Cauta" on the main window: the grid of the active tab is
// searched, and the place of the row found becomes the register's current one.
#include "DBGNorm.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "Search.h"
#include "Table.h"
#include "TestSupport.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {

void whenShown(const std::function<void(TSrchForm&)>& inDialog) {
    QTimer::singleShot(0, [inDialog] {
        auto* form = qobject_cast<TSrchForm*>(QApplication::activeModalWidget());
        QVERIFY(form);
        struct Closer {
            TSrchForm* form;
            ~Closer() { form->reject(); }
        } closer{form};
        inDialog(*form);
    });
}

void add(Table* t, const QList<std::pair<const char*, QVariant>>& values) {
    t->append();
    for (const auto& [field, value] : values)
        t->setValue(QString::fromLatin1(field), value);
    t->post();
}

} // namespace

class TestMainSearch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1")); }

    void receiptOfAnotherPlaceFromTheReceiptsTab() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("Eternitatea"));
        TMainForm form(dir.path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Table* cat = form.Catalog();
        for (int place = 1; place <= 2; ++place) {
            add(cat,
                {{"Loc", QString::number(place)},
                 {"Nume_Uzufruct", place == 1 ? QStringLiteral("Pop") : QStringLiteral("Dinu")}});
            add(form.Concesionari(), {{"Nr_concesiune", place * 10}});
            add(form.PersInmormantate(), {{"Numar", place * 100}});
            add(form.Chitante(), {{"Nr_chit", place * 2 - 1}, {"Data", QDate(2024, 1, place)}});
            add(form.Chitante(), {{"Nr_chit", place * 2}, {"Data", QDate(2024, 2, place)}});
        }
        cat->first();
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        auto* button = form.findChild<QToolButton*>(QStringLiteral("SearchBtn"));
        auto* chitGrid = form.findChild<TDBGridNormal*>(QStringLiteral("ChitanteGrid"));
        QVERIFY(button->isEnabled());
        tabs->setCurrentIndex(3);
        chitGrid->setCurrentIndex(chitGrid->model()->index(0, 0));
        whenShown([&](TSrchForm& dialog) {
            QCOMPARE(dialog.windowTitle(), QStringLiteral("Nr. chit. : Cauta"));
            dialog.EditSrch->setText(QStringLiteral("4"));
            dialog.OKBtn->click();
            QVERIFY(dialog.BitBtn1->isEnabled());
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(cat->asString(QStringLiteral("Nume_Uzufruct")), QStringLiteral("Dinu"));
        QCOMPARE(form.Concesionari()->rowCount(), 1);
        QCOMPARE(form.Concesionari()->asInteger(QStringLiteral("Nr_concesiune")), 20);
        QCOMPARE(form.PersInmormantate()->rowCount(), 1);
        QCOMPARE(form.PersInmormantate()->asInteger(QStringLiteral("Numar")), 200);
        QVERIFY(form.Chitante()->linkEnabled());
        QCOMPARE(form.Chitante()->rowCount(), 2);
        QCOMPARE(form.Chitante()->asInteger(QStringLiteral("Nr_chit")), 3);

        // On the register's tab the register's grid is searched.
        tabs->setCurrentIndex(0);
        auto* catGrid = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        catGrid->setCurrentIndex(catGrid->model()->index(cat->currentRow(), 1));
        QString title;
        whenShown([&](TSrchForm& dialog) { title = dialog.windowTitle(); });
        form.SearchBtnClick();
        QCOMPARE(title, QStringLiteral("Cimitirul : Cauta"));
    }

    // A search that never ran, or found nothing, leaves the register where
    // it was, also from a tab whose place has no rows of its own.
    void aSearchWithoutResultKeepsThePlace() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("Eternitatea"));
        TMainForm form(dir.path());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        Table* cat = form.Catalog();
        add(cat, {{"Loc", QStringLiteral("1")}});
        add(form.Chitante(), {{"Nr_chit", 1}});
        add(cat, {{"Loc", QStringLiteral("2")}});
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        tabs->setCurrentIndex(3);
        for (const char* search : {"", "77"}) {
            whenShown([search](TSrchForm& dialog) {
                if (*search) {
                    dialog.EditSrch->setText(QString::fromLatin1(search));
                    dialog.OKBtn->click();
                }
            });
            form.SearchBtnClick();
            QCOMPARE(cat->asString(QStringLiteral("Loc")), QStringLiteral("2"));
            QCOMPARE(form.Chitante()->rowCount(), 0);
            QVERIFY(form.Chitante()->linkEnabled());
        }
    }
};

QTEST_MAIN(TestMainSearch)
#include "tst_mainsearch.moc"
