// The selection dialogs: the two multi-select lists read from the register,
// the period with its check and its Enter keys, and the one date.
#include "DateEdit.h"
#include "Datedlg.h"
#include "Intrvdlg.h"
#include "ReportFixture.h"
#include "SelCim.h"
#include "SelTipIncasare.h"
#include "Values.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

class TestSelDialogs : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { cancelPendingAnswers(); }
    void cemeteryListIsDistinctWithBlankItem();
    void checkedBoxGivesEveryValueIgnoringTheList();
    void clearedBoxGivesTheSelectedItems();
    void emptyRegisterAndCancel();
    void collectionTypes();
    void intervalEqualDatesAccepted();
    void intervalReversedRefusedStopFirst();
    void intervalEnterTwiceCloses();
    void intervalCancelKeepsDates();
    void dateDialog();
};

void TestSelDialogs::cemeteryListIsDistinctWithBlankItem() {
    TestRegister reg;
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("1"), QStringLiteral("2"));
    reg.addFree(QString(), QStringLiteral("2"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("Sf. \"Maria\""), QStringLiteral("2"), QStringLiteral("1"));
    TSelCimFrm dlg(nullptr, reg.db);
    dlg.load();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Selectie cimitir"));
    QCOMPARE(dlg.CBAll()->text(), QStringLiteral("Toate cimitirele"));
    QVERIFY(dlg.CBAll()->isChecked());
    QVERIFY(!dlg.list()->isEnabled());
    QCOMPARE(dlg.list()->objectName(), QStringLiteral("CimList"));
    QStringList items;
    for (int i = 0; i < dlg.list()->count(); ++i)
        items << dlg.list()->item(i)->text();
    items.sort();
    QCOMPARE(items,
             (QStringList{QString(), QStringLiteral("Bellu"), QStringLiteral("Sf. \"Maria\"")}));
}

void TestSelDialogs::checkedBoxGivesEveryValueIgnoringTheList() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QString(), QStringLiteral("1"), QStringLiteral("1"));
    QStringList values;
    answerModal([](QDialog* d) {
        auto* all = childOf<QCheckBox>(d, "CBAll");
        auto* list = childOf<QListWidget>(d, "CimList");
        QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(5, all->height() / 2));
        QVERIFY(list->isEnabled());
        list->item(0)->setSelected(true);
        QTest::mouseClick(all, Qt::LeftButton, {}, QPoint(5, all->height() / 2));
        QVERIFY(!list->isEnabled());
        QTest::mouseClick(childOf<QPushButton>(d, "OkBtn"), Qt::LeftButton);
    });
    QVERIFY(SelectCemeteries(nullptr, reg.db, values));
    values.sort();
    // The blank cemetery is the empty value.
    QCOMPARE(values, (QStringList{QString(), QStringLiteral("A"), QStringLiteral("B")}));
}

void TestSelDialogs::clearedBoxGivesTheSelectedItems() {
    TestRegister reg;
    for (const char* c : {"A", "B", "C"})
        reg.addFree(QLatin1String(c), QStringLiteral("1"), QStringLiteral("1"));
    QStringList values{QStringLiteral("before")};
    QStringList picked;
    answerModal([&picked](QDialog* d) {
        auto* all = childOf<QCheckBox>(d, "CBAll");
        all->setFocus();
        QTest::keyClick(all, Qt::Key_Space); // keyboard works too
        auto* list = childOf<QListWidget>(d, "CimList");
        QVERIFY(list->isEnabled());
        list->item(0)->setSelected(true);
        list->item(2)->setSelected(true);
        picked << list->item(0)->text() << list->item(2)->text();
        QTest::keyClick(d, Qt::Key_Return); // "&Deschide" is the default
    });
    QVERIFY(SelectCemeteries(nullptr, reg.db, values));
    QCOMPARE(values, QStringList{QStringLiteral("before")} + picked);
}

void TestSelDialogs::emptyRegisterAndCancel() {
    TestRegister reg;
    QStringList values;
    answerModal([](QDialog* d) {
        QCOMPARE(childOf<QListWidget>(d, "CimList")->count(), 0);
        d->accept();
    });
    QVERIFY(SelectCemeteries(nullptr, reg.db, values));
    QVERIFY(values.isEmpty()); // no restriction

    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    values = QStringList{QStringLiteral("x")};
    answerModal([](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
    QVERIFY(!SelectCemeteries(nullptr, reg.db, values));
    QCOMPARE(values, QStringList{QStringLiteral("x")});
}

void TestSelDialogs::collectionTypes() {
    TestRegister reg;
    reg.addReceiptType(QStringLiteral("Taxa anuala"));
    reg.addReceiptType(QStringLiteral("Taxa anuala"));
    reg.addReceiptType(QStringLiteral("Concesiune"));
    QStringList values;
    answerModal([](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Selectie tip incasare"));
        QCOMPARE(childOf<QCheckBox>(d, "CBAll")->text(),
                 QStringLiteral("Toate tipurile de incasare"));
        QCOMPARE(childOf<QListWidget>(d, "TipList")->count(), 2);
        d->accept();
    });
    QVERIFY(SelectCollectionTypes(nullptr, reg.db, values));
    values.sort();
    QCOMPARE(values, (QStringList{QStringLiteral("Concesiune"), QStringLiteral("Taxa anuala")}));
}

void TestSelDialogs::intervalEqualDatesAccepted() {
    ScriptedPrompts prompts;
    QDate start(2024, 3, 5), stop(2024, 3, 5);
    answerModal(
        [](QDialog* d) { QTest::mouseClick(childOf<QPushButton>(d, "OkBtn"), Qt::LeftButton); });
    QVERIFY(AskInterval(nullptr, start, stop));
    QCOMPARE(start, QDate(2024, 3, 5));
    QCOMPARE(stop, QDate(2024, 3, 5));
    QVERIFY(prompts.shown().isEmpty());
}

void TestSelDialogs::intervalReversedRefusedStopFirst() {
    ScriptedPrompts prompts;
    TIntervalDlg dlg;
    dlg.setDates(QDate(2024, 3, 6), QDate(2024, 3, 5));
    dlg.show();
    QTest::mouseClick(childOf<QPushButton>(&dlg, "OkBtn"), Qt::LeftButton);
    QVERIFY(dlg.isVisible()); // stays open
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(prompts.texts(), QStringList{QStringLiteral(
                                  "Intervalul de timp nu este corect! 05.03.2024 < 06.03.2024")});
    QCOMPARE(prompts.shown().first().icon, PromptIcon::Warning);
}

void TestSelDialogs::intervalEnterTwiceCloses() {
    ScriptedPrompts prompts;
    QDate start(2024, 1, 1), stop(2024, 6, 30);
    answerModal([](QDialog* d) {
        auto* first = childOf<QLineEdit>(d, "FirstDateEdit");
        auto* last = childOf<QLineEdit>(d, "LastDateEdit");
        QCOMPARE(QApplication::focusWidget(), first);
        // A new start typed over the old one.
        first->selectAll();
        QTest::keyClicks(first, QStringLiteral("02022024"));
        QTest::keyClick(first, Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), last);
        QVERIFY(d->isVisible());
        QTest::keyClick(last, Qt::Key_Return);
    });
    QVERIFY(AskInterval(nullptr, start, stop));
    QCOMPARE(start, QDate(2024, 2, 2));
    QCOMPARE(stop, QDate(2024, 6, 30));
    QVERIFY(prompts.shown().isEmpty());

    // A reversed period: Enter in the second edit warns and stays.
    TIntervalDlg dlg;
    dlg.setDates(QDate(2024, 7, 1), QDate(2024, 6, 30));
    dlg.show();
    QTest::keyClick(dlg.LastDateEdit(), Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QCOMPARE(prompts.shown().size(), 1);
}

void TestSelDialogs::intervalCancelKeepsDates() {
    QDate start(2024, 1, 1), stop(2024, 6, 30);
    answerModal([](QDialog* d) {
        auto* first = childOf<QLineEdit>(d, "FirstDateEdit");
        first->selectAll();
        QTest::keyClicks(first, QStringLiteral("03032023"));
        QTest::mouseClick(childOf<QPushButton>(d, "CancelBtn"), Qt::LeftButton);
    });
    QVERIFY(!AskInterval(nullptr, start, stop));
    QCOMPARE(start, QDate(2024, 1, 1));
    QCOMPARE(stop, QDate(2024, 6, 30));
}

void TestSelDialogs::dateDialog() {
    QDate date(2023, 12, 31);
    answerModal([](QDialog* d) {
        QCOMPARE(d->windowTitle(), QStringLiteral("Selectie"));
        auto* edit = childOf<QLineEdit>(d, "DateEdit");
        QCOMPARE(edit->text(), Values::dateToText(QDate(2023, 12, 31)));
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral("15012024"));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QVERIFY(AskDate(nullptr, date));
    QCOMPARE(date, QDate(2024, 1, 15));

    answerModal([](QDialog* d) { QTest::keyClick(d, Qt::Key_Escape); });
    QVERIFY(!AskDate(nullptr, date));
    QCOMPARE(date, QDate(2024, 1, 15));
}

QTEST_MAIN(TestSelDialogs)
#include "tst_seldialogs.moc"
