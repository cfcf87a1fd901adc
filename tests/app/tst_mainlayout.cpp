// The main window's grids: the column layout kept across runs, its reset,
// the unit name, and the grid keys on the register and its detail tabs.
#include "DBGNorm.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "Streeming.h"
#include "Table.h"
#include "TestSupport.h"
#include "XInPlaceEdit.h"

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QTabWidget>
#include <QtTest>

namespace {

QByteArray shortStr(const QByteArray& s) {
    return char(s.size()) + s;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TDBGridNormal* grid(TMainForm& form, const char* name) {
    return form.findChild<TDBGridNormal*>(QString::fromLatin1(name));
}

bool showActive(TMainForm& form) {
    form.show();
    return QTest::qWaitForWindowActive(&form);
}

void press(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QWidget* w = QApplication::focusWidget();
    QVERIFY(w);
    QTest::keyClick(w, Qt::Key(key), mods);
}

void addPlace(TMainForm& form, const QString& loc) {
    Table* c = form.Catalog();
    c->append();
    c->setValue(QStringLiteral("Loc"), loc);
    c->post();
}

} // namespace

class TestMainLayout : public QObject {
    Q_OBJECT

    QString layoutPath(const TempProgramDir& dir) const {
        return dir.file(QString::fromLatin1(TCustomFileStraam::FileName));
    }

private slots:
    void initTestCase() {
        QApplication::setQuitOnLastWindowClosed(false);
        // Showing the window runs the version check: keep it on the loopback.
        OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1"));
    }

    void altXLeavesTheFourLayoutsInTheProgramDirectory() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        QVERIFY(showActive(form));
        QVERIFY(QFile::exists(layoutPath(dir))); // created empty on showing
        QCOMPARE(QFileInfo(layoutPath(dir)).size(), 0);
        QTest::keyClick(&form, Qt::Key_X, Qt::AltModifier);
        QTRY_VERIFY(!form.isVisible());

        const QByteArray bytes = readAll(layoutPath(dir));
        QVERIFY(bytes.startsWith("TPF0"));
        QByteArray cimitir;
        cimitir += '\x01';
        cimitir += shortStr("Expanded") + '\x08';
        cimitir += shortStr("FieldName") + '\x06' + shortStr("Cimitir");
        cimitir += shortStr("Title.Caption") + '\x06' + shortStr("Cimitirul");
        cimitir += shortStr("Width") + QByteArray("\x03\xCB\x00", 3);
        cimitir += shortStr("Visible") + '\x09' + '\x00';
        QVERIFY(bytes.contains(cimitir));
        LayoutReader reader(bytes);
        for (int i = 0; i < 4; ++i) {
            TObjectWrapper rec;
            QCOMPARE(reader.next(&rec), LayoutReader::Outcome::Loaded);
            QCOMPARE(rec.CurrentClassName, QString::number(i));
        }
        TObjectWrapper fifth;
        QCOMPARE(reader.next(&fifth), LayoutReader::Outcome::Failed); // exactly four
        QVERIFY(prompts.shown().isEmpty());
    }

    void widenedColumnStaysUntilTheLayoutIsReset() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        {
            TMainForm form(dir.path());
            QVERIFY(showActive(form));
            grid(form, "CatGrid")->horizontalHeader()->resizeSection(1, 260); // Cimitir
            grid(form, "ChitanteGrid")->horizontalHeader()->moveSection(3, 0);
            form.close();
        }
        {
            TMainForm form(dir.path());
            QVERIFY(showActive(form));
            QCOMPARE(grid(form, "CatGrid")->columnWidth(1), 260);
            QCOMPARE(grid(form, "ChitanteGrid")->columns().at(0).fieldName,
                     QStringLiteral("Tip_incasare"));
            QVERIFY(!grid(form, "ChitanteGrid")->columns().at(0).pickList.isEmpty());

            QStringList before = QDir(dir.path()).entryList(QDir::Files);
            prompts.queueAnswer(PromptAnswer::Yes);
            form.findChild<QAction*>(QStringLiteral("Stergefisierecfg1"))->trigger();
            const ScriptedPrompts::Shown asked = prompts.shown().last();
            QCOMPARE(asked.text,
                     QStringLiteral("Operatiunea restabileste afisarea implicita a coloanelor "
                                    "in tabele. Programul se va inchide. Doriti sa continuati?"));
            QCOMPARE(asked.buttons, PromptButtons::YesNo);
            QCOMPARE(asked.defaultAnswer, PromptAnswer::No);
            QVERIFY(!form.isVisible());
            QVERIFY(!QFile::exists(layoutPath(dir)));
            before.removeAll(QString::fromLatin1(TCustomFileStraam::FileName));
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files), before); // that file only
        }
        TMainForm form(dir.path());
        QVERIFY(showActive(form));
        QCOMPARE(grid(form, "CatGrid")->columnWidth(1), 203);
        QCOMPARE(grid(form, "ChitanteGrid")->columns().at(0).fieldName, QStringLiteral("Nr_chit"));
    }

    void declinedResetChangesNothing() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        {
            TMainForm first(dir.path());
            QVERIFY(showActive(first));
            first.close();
        }
        const QByteArray saved = readAll(layoutPath(dir));
        TMainForm form(dir.path());
        QVERIFY(showActive(form));
        prompts.queueAnswer(PromptAnswer::No);
        form.findChild<QAction*>(QStringLiteral("Stergefisierecfg1"))->trigger();
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(form.isVisible());
        QCOMPARE(readAll(layoutPath(dir)), saved);
    }

    void unitNameIsKeptInOneRow() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        QAction* unit = form.findChild<QAction*>(QStringLiteral("Unitatea1"));
        QVERIFY(unit->isEnabled());
        prompts.queueInput(QStringLiteral("Cimitirul Eternitatea"));
        unit->trigger();
        QCOMPARE(prompts.shown().at(0).caption, QStringLiteral("Dialog"));
        QCOMPARE(prompts.shown().at(0).text,
                 QStringLiteral("Introduceti numele sau numarul unitatii (cimitirul) :"));
        QCOMPARE(form.Unitatea()->recordCount(), 1);
        const QString longName = QStringLiteral("Administratia Cimitirelor Municipiului X");
        QCOMPARE(longName.size(), 40);
        prompts.queueInput(longName);
        unit->trigger();
        QCOMPARE(form.Unitatea()->recordCount(), 1);
        QCOMPARE(form.Unitatea()->asString(QStringLiteral("Cimitir")), longName.left(30));
        QCOMPARE(form.unitName(), longName);
        prompts.queueInput(QString()); // Cancel
        unit->trigger();
        QCOMPARE(form.unitName(), longName);
        QCOMPARE(form.Unitatea()->asString(QStringLiteral("Cimitir")), longName.left(30));
        addPlace(form, QStringLiteral("1"));
        QCOMPARE(form.Catalog()->asString(QStringLiteral("Cimitir")), longName.left(30));
    }

    void enterThroughTheLastPlaceAppendsOnePlace() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        prompts.queueInput(QStringLiteral("Eternitatea")); // asked by the first new place
        addPlace(form, QStringLiteral("1"));
        addPlace(form, QStringLiteral("2"));
        QVERIFY(showActive(form));
        TDBGridNormal* cat = grid(form, "CatGrid");
        QAbstractItemModelTester tester(cat->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        cat->setFocus();
        QVERIFY(cat->inplaceEditor()->hasFocus());
        press(Qt::Key_End, Qt::ControlModifier);
        press(Qt::Key_End); // the caret is at the end: on to the last column
        QCOMPARE(cat->columns().at(cat->currentIndex().column()).fieldName,
                 QStringLiteral("Observatii"));
        press(Qt::Key_Return);
        Table* c = form.Catalog();
        QCOMPARE(c->rowCount(), 3);
        QCOMPARE(c->state(), TableState::Insert);
        QCOMPARE(c->value(QStringLiteral("Id_Loc")).toDouble(), 3.0);
        QCOMPARE(c->asString(QStringLiteral("Cimitir")), QStringLiteral("Eternitatea"));
        QCOMPARE(cat->currentIndex().column(), 0); // NrCrt, the first column
        QCOMPARE(cat->currentIndex().row(), 2);
        for (int i = 0; i < 9; ++i)
            press(Qt::Key_Return);
        QCOMPARE(c->rowCount(), 3);
        QCOMPARE(cat->currentIndex().row(), 2);
        QCOMPARE(cat->currentIndex().column(), 0);
        QCOMPARE(prompts.shown().size(), 1);
    }

    void tabChosenFromTheKeysHandsTheKeysToItsGrid() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueInput(QStringLiteral("U"));
        TMainForm form(dir.path());
        QVERIFY(showActive(form));
        addPlace(form, QStringLiteral("1"));
        // The grid or its cell editor has the keys.
        const auto keysIn = [&form](const char* name) {
            const QWidget* f = QApplication::focusWidget();
            const TDBGridNormal* g = grid(form, name);
            return f && (f == g || g->isAncestorOf(f));
        };
        grid(form, "CatGrid")->setFocus();
        QTRY_VERIFY(keysIn("CatGrid"));
        for (const auto& [key, name] :
             {std::pair{Qt::Key_I, "IstoricGrid"}, std::pair{Qt::Key_P, "MortiGrid"},
              std::pair{Qt::Key_C, "CatGrid"}}) {
            QTest::keyClick(QApplication::focusWidget(), key, Qt::AltModifier);
            QTRY_VERIFY2(keysIn(name), name);
        }
        // The first key typed on the concession tab starts a concession there.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_I, Qt::AltModifier);
        QTRY_VERIFY(keysIn("IstoricGrid"));
        press(Qt::Key_7);
        QCOMPARE(form.Concesionari()->state(), TableState::Insert);
    }

    void detailGridsConfirmCtrlDelete() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        prompts.queueInput(QStringLiteral("Eternitatea"));
        addPlace(form, QStringLiteral("1"));
        Table* con = form.Concesionari();
        con->append();
        con->setValue(QStringLiteral("Nr_concesiune"), 7);
        con->post();
        QVERIFY(showActive(form));
        form.findChild<QTabWidget*>(QStringLiteral("PageControl1"))->setCurrentIndex(1);
        TDBGridNormal* istoric = grid(form, "IstoricGrid");
        QAbstractItemModelTester tester(istoric->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        istoric->setFocus();
        QVERIFY(istoric->inplaceEditor()->hasFocus());
        prompts.clear();
        prompts.queueAnswer(PromptAnswer::Cancel);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(prompts.texts(), QStringList{QStringLiteral("Delete record?")});
        QCOMPARE(con->rowCount(), 1);
        prompts.queueAnswer(PromptAnswer::Ok);
        press(Qt::Key_Delete, Qt::ControlModifier);
        QCOMPARE(con->rowCount(), 0);
        QCOMPARE(con->state(), TableState::Browse);
        QVERIFY(istoric->hasFocus()); // no cell left to edit
    }
};

QTEST_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
