// The main window when things go wrong: a row the store refuses at close,
// a prompt cancelled in the middle of a new row, a register that is empty
// or damaged at start; and what the clerk sees: mnemonics and fitting text.
#include "Backup.h"
#include "Clock.h"
#include "DBGNorm.h"
#include "DBNavigator.h"
#include "Database.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "ProgramFont.h"
#include "Table.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenuBar>
#include <QRegularExpression>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

qint64 countRows(const QString& file, const QString& sql) {
    return scalarInFile(file, sql);
}

// A register with one place, its unit name, one stored receipt, and a rule
// of the file that refuses every new receipt.
void prepareRefusingRegister(const TempProgramDir& dir) {
    Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
    db.open();
    db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES ('Central')"));
    db.exec(
        QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Loc) VALUES (1, 'Central', '1')"));
    db.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Suma) VALUES (1, 10, 50)"));
    db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Chitante "
                           "BEGIN SELECT RAISE(ABORT, 'chitanta refuzata'); END"));
}

int columnOf(TDBGridNormal* grid, const QString& field) {
    const auto cols = grid->layoutColumns();
    for (int c = 0; c < cols.size(); ++c)
        if (cols.at(c).fieldName == field)
            return c;
    return -1;
}

QChar mnemonicOf(const QString& text) {
    static const QRegularExpression amp(QStringLiteral("&([^&])"));
    const auto m = amp.match(text);
    return m.hasMatch() ? m.captured(1).at(0).toLower() : QChar();
}

} // namespace

class TestMainFailures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { OnlineUpdate::setBaseAddress(QStringLiteral("http://127.0.0.1:1")); }

    void aReceiptTheStoreRefusesAsksBeforeClosing() {
        TempProgramDir dir;
        prepareRefusingRegister(dir);
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        form.show();
        QVERIFY(prompts.shown().isEmpty());
        Table* receipts = form.Chitante();
        receipts->append();
        receipts->setValue(QStringLiteral("Nr_chit"), 11);

        prompts.queueAnswer(PromptAnswer::No);
        QVERIFY(!form.close());
        QCOMPARE(prompts.shown().size(), 1);
        const auto asked = prompts.shown().last();
        QCOMPARE(asked.buttons, PromptButtons::YesNo);
        QCOMPARE(asked.defaultAnswer, PromptAnswer::No);
        QVERIFY2(asked.text.contains(QStringLiteral("chitanta refuzata")), qPrintable(asked.text));
        QVERIFY(asked.text.contains(QStringLiteral("fara a salva")));
        // No: the window stays, the row stays in edit.
        QVERIFY(form.isVisible());
        QCOMPARE(receipts->state(), TableState::Insert);
        QCOMPARE(receipts->value(QStringLiteral("Nr_chit")).toInt(), 11);

        prompts.queueAnswer(PromptAnswer::Yes);
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QCOMPARE(countRows(dir.file(QStringLiteral("Tombrix.sqlite")),
                           QStringLiteral("SELECT count(*) FROM Chitante")),
                 1);
    }

    void aCellValueTheFieldRefusesAsksBeforeClosing() {
        TempProgramDir dir;
        prepareRefusingRegister(dir);
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        form.show();
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        tabs->setCurrentIndex(3);
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("ChitanteGrid"));
        const int sum = columnOf(grid, QStringLiteral("Suma"));
        QVERIFY(sum >= 0);
        grid->setCurrentIndex(grid->model()->index(0, sum));
        auto* editor = grid->findChild<QLineEdit*>(QStringLiteral("InplaceEditor"));
        QVERIFY(editor && editor->isVisible());
        editor->selectAll();
        QTest::keyClicks(editor, QStringLiteral("abc"));
        QCOMPARE(form.Chitante()->state(), TableState::Edit);

        prompts.queueAnswer(PromptAnswer::No);
        QVERIFY(!form.close());
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY2(prompts.shown().last().text.startsWith(
                     QStringLiteral("'abc' nu este o valoare numerica valida.")),
                 qPrintable(prompts.shown().last().text));
        QCOMPARE(editor->text(), QStringLiteral("abc"));

        prompts.queueAnswer(PromptAnswer::Yes);
        QVERIFY(form.close());
        QCOMPARE(countRows(dir.file(QStringLiteral("Tombrix.sqlite")),
                           QStringLiteral("SELECT Suma FROM Chitante")),
                 50);
    }

    void aCancelledUnitNameLeavesTheNavigatorAsTheTableIs() {
        TempProgramDir dir;
        ScriptedPrompts prompts; // the unit name box is cancelled
        TMainForm form(dir.path());
        form.show();
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(prompts.shown().first().input);
        QCOMPARE(form.Catalog()->state(), TableState::Browse);
        QCOMPARE(form.Catalog()->rowCount(), 0);
        QVERIFY(!form.findChild<QToolButton*>(QStringLiteral("DeleteBtn"))->isEnabled());
        QVERIFY(!form.findChild<QToolButton*>(QStringLiteral("PostBtn"))->isEnabled());
        QVERIFY(form.findChild<QToolButton*>(QStringLiteral("InsertBtn"))->isEnabled());
    }

    void anEmptyRegisterIsNeitherCopiedNorOpened() {
        TempProgramDir dir;
        FixedToday today(QDate(2025, 6, 2));
        // Yesterday's good copy.
        {
            Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
            db.open();
        }
        QVERIFY(Backup::run(dir.file(QStringLiteral("Tombrix.sqlite")), dir.backupBase(),
                            QDate(2025, 6, 1)));
        QFile f(dir.file(QStringLiteral("Tombrix.sqlite")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.close();

        ScriptedPrompts prompts;
        {
            TMainForm form(dir.path());
            QCOMPARE(prompts.shown().size(), 1);
            const QString text = prompts.shown().first().text;
            QVERIFY2(text.contains(QStringLiteral("este goala")), qPrintable(text));
            QVERIFY2(text.contains(Backup::directory(dir.backupBase(), QDate(2025, 6, 1))),
                     qPrintable(text));
            QVERIFY(!form.Catalog()->isActive());
        }
        QVERIFY(!QDir(Backup::directory(dir.backupBase(), QDate(2025, 6, 2))).exists());
        QCOMPARE(QFileInfo(dir.file(QStringLiteral("Tombrix.sqlite"))).size(), 0);
    }

    void aRegisterDamagedDeepInsideIsNeitherCopiedNorOpened() {
        TempProgramDir dir;
        FixedToday today(QDate(2025, 6, 2));
        const QString file = dir.file(QStringLiteral("Tombrix.sqlite"));
        {
            Database db(file);
            db.open();
            db.exec(QStringLiteral(
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
                "INSERT INTO Catalog (Id_Loc, Loc, Nume_Uzufruct, Observatii) "
                "SELECT i, i, 'Popescu ' || i, printf('%.80c', 'o') FROM n"));
        }
        // Scribble over a page in the middle: the header and the schema
        // stay readable, so only a check of the pages finds it.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const qint64 pages = f.size() / 4096;
        QVERIFY(pages > 20);
        f.seek((pages / 2) * 4096);
        f.write(QByteArray(4096, '\x5a'));
        f.close();

        ScriptedPrompts prompts;
        {
            TMainForm form(dir.path());
            QCOMPARE(prompts.shown().size(), 1);
            const QString text = prompts.shown().first().text;
            QVERIFY2(text.contains(QStringLiteral("este deteriorata")), qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("Nu exista nicio copie zilnica")),
                     qPrintable(text));
            QVERIFY(!form.Catalog()->isActive());
        }
        QVERIFY(!QDir(Backup::directory(dir.backupBase(), QDate(2025, 6, 2))).exists());
    }

    void aRegisterThatCannotBeWrittenIsSaidOnceAndOpensForReadingOnly() {
        TempProgramDir dir;
        prepareRefusingRegister(dir);
        Database::setOpenReadOnly(true);
        struct Restore {
            ~Restore() { Database::setOpenReadOnly(false); }
        } restore;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        form.show();
        QCOMPARE(prompts.shown().size(), 1);
        const QString said = prompts.shown().first().text;
        QCOMPARE(prompts.shown().first().icon, PromptIcon::Warning);
        QVERIFY2(said.contains(QStringLiteral("nu poate fi scrisa")) &&
                     said.contains(QStringLiteral("numai pentru citire")),
                 qPrintable(said));
        QVERIFY(form.Catalog()->isActive());
        QCOMPARE(form.Catalog()->recordCount(), 1);

        // Typing into a cell and Insert are both refused with those words,
        // before a whole row is typed; the place stays as it was.
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        grid->setFocus();
        const int loc = columnOf(grid, QStringLiteral("Loc"));
        QVERIFY(loc >= 0);
        grid->setCurrentIndex(grid->model()->index(0, loc));
        QTest::keyClicks(grid, QStringLiteral("9"));
        QVERIFY(prompts.shown().size() >= 2);
        QVERIFY2(prompts.shown().at(1).text.contains(QStringLiteral("nu poate fi scrisa")),
                 qPrintable(prompts.shown().at(1).text));
        QCOMPARE(form.Catalog()->state(), TableState::Browse);
        const auto before = prompts.shown().size();
        QTest::keyClick(grid, Qt::Key_Insert);
        QCOMPARE(prompts.shown().size(), before + 1);
        QVERIFY(!prompts.shown().last().input); // no unit name asked for a refused row
        QVERIFY(prompts.shown().last().text.contains(QStringLiteral("numai pentru citire")));
        QCOMPARE(form.Catalog()->state(), TableState::Browse);
        QCOMPARE(form.Catalog()->value(QStringLiteral("Loc")).toString(), QStringLiteral("1"));
    }

    void everyMnemonicOfTheWindowIsItsOwn() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        QMap<QChar, QStringList> used;
        for (QAction* a : form.menuBar()->actions())
            used[mnemonicOf(a->text())] << a->text();
        for (QAbstractButton* b : form.findChildren<QAbstractButton*>())
            used[mnemonicOf(b->text())] << b->text();
        auto* tabs = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->isTabVisible(i))
                used[mnemonicOf(tabs->tabText(i))] << tabs->tabText(i);
        used.remove(QChar());
        for (auto it = used.cbegin(); it != used.cend(); ++it)
            QVERIFY2(it.value().size() == 1, qPrintable(it.value().join(QStringLiteral(", "))));
        QVERIFY(!mnemonicOf(form.findChild<QMenu*>(QStringLiteral("Ajutor1"))->title()).isNull());
    }

    void designedWidthsShowTheirSampleValues() {
        const QFont saved = QApplication::font();
        QApplication::setFont(ProgramFont::font());
        {
            TempProgramDir dir;
            ScriptedPrompts prompts;
            TMainForm form(dir.path());
            const QFontMetrics fm(ProgramFont::font());
            // Cell text gets a few pixels of margin on each side; titles a
            // few more.
            const auto fits = [&](const char* grid, const char* field, const QString& sample,
                                  int margin) {
                auto* g = form.findChild<TDBGridNormal*>(QString::fromLatin1(grid));
                const int c = columnOf(g, QString::fromLatin1(field));
                QVERIFY2(c >= 0, field);
                const int need = fm.horizontalAdvance(sample) + margin;
                QVERIFY2(need <= g->columnWidth(c),
                         qPrintable(QStringLiteral("%1: %2 needs %3 of %4 (%5)")
                                        .arg(QString::fromLatin1(field), sample)
                                        .arg(need)
                                        .arg(g->columnWidth(c))
                                        .arg(ProgramFont::family())));
            };
            const QString code = QStringLiteral("1234567890123");
            const QString date = QStringLiteral("10/10/2024");
            fits("CatGrid", "CNP_Uzufruct", code, 8);
            fits("IstoricGrid", "CNP_Uzufruct", code, 8);
            fits("IstoricGrid", "Data_concesiune", date, 8);
            fits("IstoricGrid", "Nr_ani_concesiune", QStringLiteral("Durata (ani)"), 10);
            fits("IstoricGrid", "Eliberat_buletin", QStringLiteral("BI-Eliberat"), 10);
            fits("IstoricGrid", "Telefon_fix", QStringLiteral("0268123456"), 8);
            fits("IstoricGrid", "Telefon_mobil", QStringLiteral("0722123456"), 8);
            fits("CatGrid", "Sector", QStringLiteral("Sectorul"), 10);
            fits("CatGrid", "Loc", QStringLiteral("Locul"), 10);
            fits("ChitanteGrid", "Nr_chit", QStringLiteral("Nr. chit."), 10);
        }
        QApplication::setFont(saved);
    }
};

QTEST_MAIN(TestMainFailures)
#include "tst_mainfailures.moc"
