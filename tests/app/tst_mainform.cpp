// The main window built on a temporary program directory, driven with real
// key events and answered by a scripted Prompts. With TOMBRIX_TEST_SERVER
// set, the same window works on a register on a PostgreSQL server the test
// starts itself.
#include "DBGNorm.h"
#include "Database.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "PgServer.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

// The server's database of the current test; empty on the file.
QString g_conninfo;

// Reads the register through a connection of its own.
int countRows(const QString& file, const QString& sql) {
    if (g_conninfo.isEmpty())
        return int(scalarInFile(file, sql));
    Database db(file, g_conninfo);
    db.open();
    return int(scalarOf(db, sql));
}

// What the cell editor hands the grid when a value is typed and confirmed.
void typeInto(TDBGridNormal* grid, int column, const QString& text) {
    const QModelIndex at = grid->model()->index(grid->currentIndex().row(), column);
    grid->setCurrentIndex(at);
    QVERIFY(grid->model()->setData(at, text, Qt::EditRole));
}

int columnOf(TDBGridNormal* grid, const QString& title) {
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        if (grid->model()->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == title)
            return c;
    return -1;
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
    std::unique_ptr<PgServer> m_server;
    int m_serial = 0;

    bool onServer() const { return m_server != nullptr; }

private slots:
    // Showing the window runs the version check: keep it on the loopback.
    void initTestCase() {
        OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1"));
        if (qEnvironmentVariableIsSet("TOMBRIX_TEST_SERVER")) {
            m_server = std::make_unique<PgServer>();
            if (!m_server->isRunning())
                QSKIP(qPrintable(QStringLiteral("no test server: ") + m_server->why()));
        }
    }
    void init() {
        g_conninfo =
            onServer() ? m_server->newDatabase(QStringLiteral("w%1").arg(++m_serial)) : QString();
    }

    void startsInAnEmptyDirectory() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path(), g_conninfo);
        QVERIFY(prompts.shown().isEmpty());
        const QString file = dir.file(QStringLiteral("Tombrix.sqlite"));
        QCOMPARE(countRows(file, onServer() ? QStringLiteral("SELECT count(*) FROM "
                                                             "information_schema.tables WHERE "
                                                             "table_schema = 'public'")
                                            : QStringLiteral("SELECT count(*) FROM sqlite_master "
                                                             "WHERE type='table'")),
                 5);
        QCOMPARE(QFileInfo::exists(file), !onServer()); // nothing local beside a server
        QCOMPARE(form.windowTitle(), QStringLiteral("Tombrix"));
        QCOMPARE(form.size(), QSize(845, 571));

        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        QVERIFY(tabs);
        QStringList shownTabs;
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->isTabVisible(i))
                shownTabs << tabs->tabText(i);
        QCOMPARE(shownTabs, (QStringList{QStringLiteral("&Catalog"), QStringLiteral("&Istoric loc"),
                                         QStringLiteral("&Persoane inmormantate"),
                                         QStringLiteral("Date curente (chitante)")}));
        QCOMPARE(tabs->count(), 6);
        for (const char* name :
             {"CatGrid", "IstoricGrid", "MortiGrid", "ChitanteGrid", "SortCombo", "FiltrareBtn",
              "FiltrSectEdit", "FiltrObsEdit", "StatusLine", "SearchBtn"})
            QVERIFY2(form.findChild<QWidget*>(QString::fromLatin1(name)), name);
        QStringList menus;
        for (QAction* a : form.menuBar()->actions())
            menus << a->text().remove(QLatin1Char('&'));
        QCOMPARE(menus, (QStringList{QStringLiteral("Sistem"), QStringLiteral("Listari"),
                                     QStringLiteral("Ajutor")}));
        auto* quit = form.findChild<QAction*>(QStringLiteral("Iesire1"));
        QCOMPARE(quit->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
        auto* cat = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        QCOMPARE(columnOf(cat, QStringLiteral("Cimitirul")), 1);
        QCOMPARE(cat->columnWidth(1), 203);
        QCOMPARE(columnOf(cat, QStringLiteral("NrCrt")), 0);
        // A column without a width of its own is as wide as its field: the
        // 30-character locality wider than the 2-character staircase.
        auto* ist = form.findChild<TDBGridNormal*>(QStringLiteral("IstoricGrid"));
        const int locality = columnOf(ist, QStringLiteral("Localitatea"));
        const int staircase = columnOf(ist, QStringLiteral("Sc."));
        QCOMPARE(ist->columnWidth(locality),
                 ist->defaultWidth(GridColumn::make(QStringLiteral("Localitatea"))));
        QVERIFY(ist->columnWidth(locality) > 2 * ist->columnWidth(staircase));
        form.show();
        QVERIFY(form.hint().endsWith(QStringLiteral(" - Versiunea ") + TMainForm::versionText()));
    }

    void typedPlaceAndConcessionAreStored() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("Cimitirul Eternitatea"));
        const QString file = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            TMainForm form(dir.path(), g_conninfo);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            auto* cat = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
            auto* insert = form.findChild<QToolButton*>(QStringLiteral("InsertBtn"));
            QTest::mouseClick(insert, Qt::LeftButton);
            QCOMPARE(form.Catalog()->state(), TableState::Insert);
            QCOMPARE(form.unitName(), QStringLiteral("Cimitirul Eternitatea"));
            typeInto(cat, columnOf(cat, QStringLiteral("Sectorul")), QStringLiteral("12A"));
            typeInto(cat, columnOf(cat, QStringLiteral("Locul")), QStringLiteral("7"));
            // Leaving the row stores it.
            QTest::mouseClick(insert, Qt::LeftButton);
            QCOMPARE(
                countRows(file,
                          QStringLiteral(
                              "SELECT count(*) FROM Catalog WHERE Sector = '12A' AND Loc = '7' "
                              "AND Cimitir = 'Cimitirul Eternitatea' AND Id_Loc = 1")),
                1);
            form.Catalog()->cancel();
            // Edit the stored place.
            form.Catalog()->first();
            typeInto(cat, columnOf(cat, QStringLiteral("Locul")), QStringLiteral("8"));
            QCOMPARE(form.Catalog()->state(), TableState::Edit);

            auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
            tabs->setCurrentIndex(1);
            auto* ist = form.findChild<TDBGridNormal*>(QStringLiteral("IstoricGrid"));
            ist->setFocus();
            QTest::keyClick(ist, Qt::Key_Insert);
            QCOMPARE(form.Concesionari()->state(), TableState::Insert);
            QCOMPARE(form.Concesionari()->asFloat(QStringLiteral("Id_Loc")), 1.0);
            // Starting a concession saved the place's pending edit first.
            QCOMPARE(
                countRows(file, QStringLiteral("SELECT count(*) FROM Catalog WHERE Loc = '8'")), 1);
            typeInto(ist, columnOf(ist, QStringLiteral("Numele si prenumele")),
                     QStringLiteral("Ionescu Vasile"));
            QTest::keyClick(&form, Qt::Key_X, Qt::AltModifier); // Iesire
        }
        QCOMPARE(
            countRows(file, QStringLiteral("SELECT count(*) FROM Concesionari WHERE Id_Loc = 1 AND "
                                           "Nume_Uzufruct = 'Ionescu Vasile'")),
            1);
    }

    void altXClosesFromTheCellEditor() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path(), g_conninfo);
        form.show();
        QApplication::setActiveWindow(&form);
        QVERIFY(QTest::qWaitForWindowActive(&form));
        auto* cat = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        cat->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() != nullptr);
        QWidget* keys = QApplication::focusWidget();
        QVERIFY(keys == cat || cat->isAncestorOf(keys));
        QTest::keyClick(keys, Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!form.isVisible());
    }

    void detailTabsShowOnlyTheCurrentPlace() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path(), g_conninfo);
        Table& cat = *form.Catalog();
        Table& chit = *form.Chitante();
        prompts.queueInput(QStringLiteral("U"));
        for (int place = 1; place <= 2; ++place) {
            cat.append();
            cat.setValue(QStringLiteral("Loc"), QString::number(place));
            cat.post();
            for (int r = 0; r < place; ++r) {
                chit.append();
                chit.setValue(QStringLiteral("Nr_chit"), place * 10 + r);
                chit.post();
            }
        }
        cat.first();
        QCOMPARE(chit.recordCount(), 1);
        cat.next();
        QCOMPARE(chit.recordCount(), 2);
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("ChitanteGrid"));
        QCOMPARE(grid->model()->rowCount(), 2);
    }

    void filterModeSwitchesOffAndClears() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path(), g_conninfo);
        for (const char* loc : {"12", "5", "112"}) {
            form.Catalog()->append();
            form.Catalog()->setValue(QStringLiteral("Loc"), QString::fromLatin1(loc));
            form.Catalog()->post();
        }
        auto* edit = form.findChild<QLineEdit*>(QStringLiteral("FiltrLocEdit"));
        auto* button = form.findChild<QPushButton*>(QStringLiteral("FiltrareBtn"));
        QTest::keyClicks(edit, QStringLiteral("12"));
        QCOMPARE(form.Catalog()->recordCount(), 3); // nothing filtered until the mode is on
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("&Elimina filtrarea"));
        QCOMPARE(form.Catalog()->recordCount(), 2);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("&Activeaza mod filtrare"));
        QVERIFY(edit->text().isEmpty());
        QCOMPARE(form.Catalog()->recordCount(), 3);
    }

    // Another clerk (here a connection of the test's own) saves: the window
    // shows it within about a second, keeps its current row, and leaves a
    // row being typed alone until it is saved.
    void theWindowFollowsAnotherClerk() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path(), g_conninfo);
        Table& cat = *form.Catalog();
        for (const char* loc : {"1", "2"}) {
            cat.append();
            cat.setValue(QStringLiteral("Loc"), QString::fromLatin1(loc));
            cat.post();
        }
        QVERIFY(cat.locate(QStringLiteral("Loc"), QStringLiteral("2")));
        Database other(dir.file(QStringLiteral("Tombrix.sqlite")), g_conninfo);
        other.open();
        other.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Loc) VALUES (?, ?, ?)"),
                   {3, QStringLiteral("U"), QStringLiteral("0")});
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 3, 5000);
        QCOMPARE(cat.asString(QStringLiteral("Loc")), QStringLiteral("2"));

        cat.edit();
        cat.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("IN LUCRU"));
        other.exec(QStringLiteral("DELETE FROM Catalog WHERE Loc = '0'"));
        QTest::qWait(2500);
        QCOMPARE(grid->model()->rowCount(), 3); // not while the clerk types
        QVERIFY(cat.isEditing());
        QCOMPARE(cat.asString(QStringLiteral("Nume_Uzufruct")), QStringLiteral("IN LUCRU"));
        cat.post();
        QTRY_COMPARE_WITH_TIMEOUT(grid->model()->rowCount(), 2, 5000);
        QCOMPARE(cat.asString(QStringLiteral("Loc")), QStringLiteral("2"));
    }

    // Two clerks change one place's holder: the second is told, with the
    // first one's value, and its own typing stays in the row.
    void theSecondSaveOfOnePlaceIsTold() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path(), g_conninfo);
        Table& cat = *form.Catalog();
        cat.append();
        cat.setValue(QStringLiteral("Loc"), QStringLiteral("1"));
        cat.post();
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        grid->setCurrentIndex(grid->model()->index(0, 0));
        typeInto(grid, columnOf(grid, QStringLiteral("Numele si prenumele uzufructului")),
                 QStringLiteral("ANA POPESCU"));
        QCOMPARE(cat.state(), TableState::Edit);
        Database other(dir.file(QStringLiteral("Tombrix.sqlite")), g_conninfo);
        other.open();
        other.exec(QStringLiteral("UPDATE Catalog SET Nume_Uzufruct = 'DAN IONESCU'"));
        prompts.clear();
        QTest::mouseClick(form.findChild<QToolButton*>(QStringLiteral("PostBtn")), Qt::LeftButton);
        QVERIFY2(
            prompts.texts().join(QString()).contains(QStringLiteral("Nume_Uzufruct: DAN IONESCU")),
            qPrintable(prompts.texts().join(QLatin1Char('|'))));
        QCOMPARE(cat.state(), TableState::Edit);
        QCOMPARE(cat.asString(QStringLiteral("Nume_Uzufruct")), QStringLiteral("ANA POPESCU"));
        QCOMPARE(countRows(dir.file(QStringLiteral("Tombrix.sqlite")),
                           QStringLiteral("SELECT count(*) FROM Catalog WHERE Nume_Uzufruct = "
                                          "'DAN IONESCU'")),
                 1);
    }

    void restoringADailyCopyOfAServerRegisterPointsToPgRestore() {
        if (!onServer())
            QSKIP("a server's copies");
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path(), g_conninfo);
        prompts.clear();
        form.Restaureazaocopiezilnica1Click();
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(prompts.texts().first().contains(QStringLiteral("pg_restore")));
        QVERIFY(form.Catalog()->isActive()); // nothing was closed
    }

    void damagedRegisterGivesOneMessage() {
        if (onServer())
            QSKIP("a file's damage");
        TempProgramDir dir;
        const QString file = dir.file(QStringLiteral("Tombrix.sqlite"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("garbage, not a database");
        f.close();
        ScriptedPrompts prompts;
        {
            TMainForm form(dir.path(), g_conninfo);
            QCOMPARE(prompts.shown().size(), 1);
            QCOMPARE(prompts.shown().first().icon, PromptIcon::Error);
            QVERIFY(!form.Catalog()->isActive());
            form.show();
            form.close();
        }
        QFile back(file);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), QByteArray("garbage, not a database"));
    }

    void missingTableStopsTheStartUp() {
        if (onServer())
            QSKIP("a file's missing table");
        TempProgramDir dir;
        {
            Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
            db.open();
            db.exec(QStringLiteral("DROP TABLE Unitatea"));
        }
        ScriptedPrompts prompts;
        TMainForm form(dir.path(), g_conninfo);
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(prompts.shown().first().text.contains(QStringLiteral("Unitatea")));
        QVERIFY(form.Catalog()->isActive()); // what could be opened stays open
        QVERIFY(form.Chitante()->isActive());
        QVERIFY(!form.Unitatea()->isActive());
        // Nothing was created in place of the missing table.
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 form.database().resolveTable(QStringLiteral("Unitatea.DB")));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
