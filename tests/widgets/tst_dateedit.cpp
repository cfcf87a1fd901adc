// The date format, the date edits and the calendar window, driven by real
// keys; the calendar is answered from a timer.
#include "DBGNorm.h"
#include "Database.h"
#include "DateEdit.h"
#include "Pickdate.h"
#include "Table.h"
#include "TestSupport.h"
#include "Values.h"
#include "XInPlaceEdit.h"
#include "dbdate.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <functional>

namespace {

// Runs `answer` on the calendar window once it is shown.
void whenCalendarShows(const std::function<void(TBrDateForm*)>& answer) {
    QTimer::singleShot(0, [answer] {
        auto* form = qobject_cast<TBrDateForm*>(QApplication::activeModalWidget());
        if (!form) {
            whenCalendarShows(answer);
            return;
        }
        answer(form);
    });
}

// A shown window with a concession table, a data date edit on its
// exemption date and a plain edit after it.
struct DbDateWindow {
    DbDateWindow() {
        db = std::make_unique<Database>(dir.file(QStringLiteral("Tombrix.sqlite")));
        db->open();
        table = new Table(*db, &window);
        table->setTableName(QStringLiteral("Concesionari.DB"));
        table->open();
        auto* lay = new QVBoxLayout(&window);
        before = new QLineEdit(&window);
        edit = new TDBDateEdit(&window);
        after = new QLineEdit(&window);
        lay->addWidget(before);
        lay->addWidget(edit);
        lay->addWidget(after);
        edit->setDataField(table, QStringLiteral("Data_doc_scutit"));
    }
    bool show() {
        window.show();
        if (!QTest::qWaitForWindowActive(&window))
            return false;
        edit->setFocus();
        return edit->hasFocus();
    }
    TempProgramDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<Database> db;
    QWidget window;
    Table* table = nullptr;
    QLineEdit* before = nullptr;
    TDBDateEdit* edit = nullptr;
    QLineEdit* after = nullptr;
};

} // namespace

class TstDateEdit : public QObject {
    Q_OBJECT
private slots:
    void init() { Values::setDateLocale(QLocale(QLocale::Romanian, QLocale::Romania)); }
    void cleanup() { Values::setDateLocale(QLocale::c()); }

    void formatFollowsTheSeparator() {
        QCOMPARE(Values::dateSeparator(), QLatin1Char('.'));
        QCOMPARE(Values::dateToText(QDate(2024, 3, 5)), QStringLiteral("05.03.2024"));
        QCOMPARE(Values::textToDate(QStringLiteral("05.03.2024")), QDate(2024, 3, 5));
        TDateEdit e;
        e.setValue(QDate(2024, 3, 5));
        QCOMPARE(e.displayText(), QStringLiteral("05.03.2024"));
        QCOMPARE(e.value(), QDate(2024, 3, 5));
        for (const char* bad : {"31.02.2025", "00.13.2024", "ab.cd.efgh", "", "05.0.2024"})
            QVERIFY2(!Values::textToDate(QString::fromLatin1(bad)).isValid(), bad);
        // A separator that is a mask character stays a literal in the mask.
        Values::setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(Values::dateEditMask(), QStringLiteral("00/00/0000;_"));
        QCOMPARE(Values::dateToText(QDate(2024, 3, 5)), QStringLiteral("05/03/2024"));
    }

    // Only digits make a date, in the years 1-9999; a two-digit year falls
    // in the hundred years from 50 before the current one.
    void yearsAreReadStrictly() {
        FixedToday today(QDate(2026, 12, 9));
        const QList<QPair<const char*, QDate>> read = {
            {"05.03.24", QDate(2024, 3, 5)},  {"5.3.24", QDate(2024, 3, 5)},
            {"01.01.76", QDate(1976, 1, 1)},  {"31.12.75", QDate(2075, 12, 31)},
            {"29.02.00", QDate(2000, 2, 29)}, {" 05.03.2024 ", QDate(2024, 3, 5)},
            {"01.01.0001", QDate(1, 1, 1)},   {"31.12.9999", QDate(9999, 12, 31)},
        };
        for (const auto& [text, date] : read)
            QCOMPARE(Values::textToDate(QString::fromLatin1(text)), date);
        QCOMPARE(Values::parseDate(QStringLiteral("01.01.76"), QLatin1Char('.'), 2030),
                 QDate(2076, 1, 1));
        for (const char* bad :
             {"05.03.-2024", "05.03.+2024", "-5.03.2024", "05.03.024", "05.03.10000", "05.03.0000",
              "05.03.2", "05 .03.2024", "05.03.2024.1", "105.03.2024", "29.02.01"})
            QVERIFY2(!Values::textToDate(QString::fromLatin1(bad)).isValid(), bad);
        QVERIFY(!Values::textToDate(QStringLiteral("\u0665.03.2024")).isValid());
    }

    void partlyTypedDates() {
        QWidget w;
        auto* lay = new QVBoxLayout(&w);
        auto* e = new TDateEdit(&w);
        auto* other = new QLineEdit(&w);
        lay->addWidget(e);
        lay->addWidget(other);
        ScriptedPrompts prompts;
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));

        // A two-digit year is shown with its century, with no complaint.
        e->setFocus();
        e->selectAll();
        QTest::keyClicks(e, QStringLiteral("05.03.24"));
        other->setFocus();
        QCOMPARE(e->displayText(), QStringLiteral("05.03.2024"));
        QCOMPARE(e->value(), QDate(2024, 3, 5));
        QVERIFY(prompts.shown().isEmpty());
        e->setValue(QDate(2020, 1, 1));

        // Day "5_" and month "3_" read as 5 March.
        e->setFocus();
        e->clear();
        e->setCursorPosition(0);
        QTest::keyClicks(e, QStringLiteral("5"));
        e->setCursorPosition(3);
        QTest::keyClicks(e, QStringLiteral("3"));
        e->setCursorPosition(6);
        QTest::keyClicks(e, QStringLiteral("2024"));
        QCOMPARE(e->displayText(), QStringLiteral("5_.3_.2024"));
        QCOMPARE(e->value(), QDate(2024, 3, 5));

        // A month "0_" is no month: the last good date comes back.
        e->setValue(QDate(2020, 1, 1));
        e->clear();
        QTest::keyClicks(e, QStringLiteral("01"));
        e->setCursorPosition(3);
        QTest::keyClicks(e, QStringLiteral("0"));
        e->setCursorPosition(6);
        QTest::keyClicks(e, QStringLiteral("2020"));
        QCOMPARE(e->displayText(), QStringLiteral("01.0_.2020"));
        QCOMPARE(e->value(), QDate(2020, 1, 1));
        QCOMPARE(e->displayText(), QStringLiteral("01.01.2020"));

        // A cleared text, left: restored, the focus kept, no message.
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QCOMPARE(dateEditText(*e), QStringLiteral(".."));
        other->setFocus();
        QCOMPARE(e->displayText(), QStringLiteral("01.01.2020"));
        QTRY_VERIFY(e->hasFocus());
        QVERIFY(prompts.shown().isEmpty());

        // A date read from a half-filled text still ends in the mask's complaint.
        e->setCursorPosition(0);
        QTest::keyClick(e, Qt::Key_Delete);
        QCOMPARE(e->displayText(), QStringLiteral("_1.01.2020"));
        other->setFocus();
        QCOMPARE(prompts.texts(), QStringList{TDateEdit::invalidInputText() + QLatin1Char('.')});
        QTRY_VERIFY(e->hasFocus());
    }

    void calendarMovesByMonths() {
        TBrDateForm form;
        form.setDate(QDate(2025, 1, 31));
        QCOMPARE(form.windowTitle(), QStringLiteral("Selecteaza data"));
        QCOMPARE(form.title(), QStringLiteral("ianuarie, 2025"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QTest::keyClick(form.findChild<QCalendarWidget*>(QStringLiteral("Calendar1")),
                        Qt::Key_PageDown);
        QCOMPARE(form.date(), QDate(2025, 2, 28));
        QCOMPARE(form.title(), QStringLiteral("februarie, 2025"));
        form.findChild<QToolButton*>(QStringLiteral("PrevMonthBtn"))->click();
        form.findChild<QToolButton*>(QStringLiteral("PrevMonthBtn"))->click();
        QCOMPARE(form.title(), QStringLiteral("decembrie, 2024"));
        QTest::keyClick(form.findChild<QCalendarWidget*>(QStringLiteral("Calendar1")),
                        Qt::Key_PageUp);
        QCOMPARE(form.date(), QDate(2024, 11, 28));
    }

    void ctrlEnterPicksFromTheCalendar() {
        TDateEdit e;
        e.setValue(QDate(2025, 1, 31));
        e.show();
        QVERIFY(QTest::qWaitForWindowActive(&e));
        QString title;
        whenCalendarShows([&title](TBrDateForm* f) {
            QTest::keyClick(f->findChild<QCalendarWidget*>(), Qt::Key_PageDown);
            title = f->title();
            f->findChild<QPushButton*>(QStringLiteral("OKBtn"))->click();
        });
        QTest::keyClick(&e, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(title, QStringLiteral("februarie, 2025"));
        QCOMPARE(e.lastValue(), QDate(2025, 2, 28));
        QCOMPARE(e.displayText(), QStringLiteral("28.02.2025"));

        // Cancelled, nothing changes.
        whenCalendarShows([](TBrDateForm* f) {
            f->moveMonths(3);
            f->findChild<QPushButton*>(QStringLiteral("CancelBtn"))->click();
        });
        e.calendarButton()->button()->click();
        QCOMPARE(e.lastValue(), QDate(2025, 2, 28));
    }

    void dbEditCalendarAndKeys() {
        FixedToday today(QDate(2026, 7, 14));
        DbDateWindow w;
        w.table->append();
        w.table->setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Pop Ion"));
        w.table->post();
        QVERIFY(w.show());

        // Empty field: today's month; Cancel leaves the row in browse.
        QString title;
        whenCalendarShows([&title](TBrDateForm* f) {
            title = f->title();
            f->reject();
        });
        QTest::keyClick(w.edit, Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(title, QStringLiteral("iulie, 2026"));
        QCOMPARE(w.table->state(), TableState::Browse);
        QVERIFY(w.table->value(QStringLiteral("Data_doc_scutit")).isNull());

        // A pick goes into edit and into the field on leaving.
        whenCalendarShows([](TBrDateForm* f) {
            f->setDate(QDate(2026, 8, 3));
            f->accept();
        });
        QTest::keyClick(w.edit, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(w.table->state(), TableState::Edit);
        QCOMPARE(w.edit->text(), QStringLiteral("03.08.2026"));
        w.window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        QVERIFY(w.edit->hasFocus());
        QTest::keyClick(w.edit, Qt::Key_Return);
        QTRY_VERIFY(w.after->hasFocus());
        QCOMPARE(w.table->value(QStringLiteral("Data_doc_scutit")).toDate(), QDate(2026, 8, 3));
        w.table->post();

        // Up goes back; letters are dropped; Ctrl+U cancels the edit.
        w.edit->setFocus();
        QTest::keyClick(w.edit, Qt::Key_Up);
        QTRY_VERIFY(w.before->hasFocus());
        w.edit->setFocus();
        w.edit->selectAll();
        QTest::keyClicks(w.edit, QStringLiteral("x"));
        QCOMPARE(w.edit->text(), QStringLiteral("03.08.2026"));
        QCOMPARE(w.table->state(), TableState::Browse);
        QTest::keyClicks(w.edit, QStringLiteral("1"));
        QCOMPARE(w.table->state(), TableState::Edit);
        QTest::keyClick(w.edit, Qt::Key_U, Qt::ControlModifier);
        QCOMPARE(w.table->state(), TableState::Browse);
        QCOMPARE(w.edit->text(), QStringLiteral("03.08.2026"));

        // A typed text that is no date is refused on leaving; the field keeps its date.
        w.edit->selectAll();
        QTest::keyClicks(w.edit, QStringLiteral("31.02.2025"));
        QTest::keyClick(w.edit, Qt::Key_Return);
        QTRY_COMPARE(w.prompts.texts(),
                     QStringList{QStringLiteral("'31.02.2025' nu este o data valida.")});
        QTRY_VERIFY(w.edit->hasFocus());
        QCOMPARE(w.table->value(QStringLiteral("Data_doc_scutit")).toDate(), QDate(2026, 8, 3));
    }

    void dbEditRefusesAFieldWithoutDates() {
        DbDateWindow w;
        w.edit->setDataField(w.table, QStringLiteral("Nume_Uzufruct"));
        QCOMPARE(w.prompts.texts(),
                 QStringList{QStringLiteral("\"Nume_Uzufruct\" is not a date field!")});
        QCOMPARE(w.edit->dataField(), QStringLiteral("Data_doc_scutit"));
    }

    void gridDateCellRefusesNonDates() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
        db.open();
        QWidget window;
        auto* lay = new QVBoxLayout(&window);
        auto* t = new Table(db, &window);
        t->setTableName(QStringLiteral("PersInmormantate.DB"));
        t->open();
        t->append();
        t->setValue(QStringLiteral("Numele"), QStringLiteral("Ana"));
        t->setValue(QStringLiteral("Data"), QDate(2024, 3, 5));
        t->post();
        auto* grid = new TDBGridNormal(&window);
        grid->setTable(t);
        grid->setColumns(
            {GridColumn::make(QStringLiteral("Data")), GridColumn::make(QStringLiteral("Numele"))});
        lay->addWidget(grid);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QCOMPARE(grid->model()->data(grid->model()->index(0, 0)).toString(),
                 QStringLiteral("05.03.2024"));
        TXInPlaceEdit* ed = grid->inplaceEditor();
        QTRY_VERIFY(ed->hasFocus());
        ed->selectAll();
        QTest::keyClicks(ed, QStringLiteral("31.02.2025"));
        QTest::keyClick(ed, Qt::Key_Tab);
        QCOMPARE(prompts.texts().size(), 1);
        QVERIFY(prompts.texts().first().contains(QStringLiteral("nu este o data valida")));
        QTRY_VERIFY(ed->hasFocus());
        QCOMPARE(ed->text(), QStringLiteral("31.02.2025"));
        QCOMPARE(t->value(QStringLiteral("Data")).toDate(), QDate(2024, 3, 5));
        // A negative year is no year: refused, the stored date stays.
        prompts.clear();
        ed->selectAll();
        QTest::keyClicks(ed, QStringLiteral("05.03.-2024"));
        QTest::keyClick(ed, Qt::Key_Tab);
        QCOMPARE(prompts.texts(),
                 QStringList{QStringLiteral("'05.03.-2024' nu este o data valida.")});
        QCOMPARE(t->value(QStringLiteral("Data")).toDate(), QDate(2024, 3, 5));
        ed->selectAll();
        QTest::keyClicks(ed, QStringLiteral("6.3.24"));
        QTest::keyClick(ed, Qt::Key_Tab);
        t->post();
        QCOMPARE(t->value(QStringLiteral("Data")).toDate(), QDate(2024, 3, 6));
        QCOMPARE(grid->model()->data(grid->model()->index(0, 0)).toString(),
                 QStringLiteral("06.03.2024"));
        delete grid;
    }
};

QTEST_MAIN(TstDateEdit)
#include "tst_dateedit.moc"
