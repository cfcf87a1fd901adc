// The place register's rules, filter and sort, on a real register file.
#include "CatalogFilter.h"
#include "CatalogRules.h"
#include "CatalogSort.h"
#include "Database.h"
#include "FoldedText.h"
#include "PlaceRegister.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"

#include <QtTest>

namespace {

// The register's tables wired the way the main window wires them.
struct Register {
    TempProgramDir dir;
    Database db{dir.file(QStringLiteral("Tombrix.sqlite"))};
    QObject owner;
    PlaceRegister reg{db, &owner};
    Table& catalog = reg.catalog();
    Table& conc = reg.concesionari();
    Table& pers = reg.persInmormantate();
    Table& chit = reg.chitante();
    Table& unit = reg.unitatea();
    CatalogRules& rules = reg.rules();
    CatalogFilter& filter = reg.filter();

    Register() {
        db.open();
        reg.open();
    }

    void setUnit(const QString& name) {
        ScriptedPrompts answer;
        answer.queueInput(name);
        reg.askUnitName();
    }

    // A place typed the way a clerk types it, validators and all.
    void place(const QString& loc, const QString& name = {}, const QString& cnp = {},
               const QString& obs = {}) {
        catalog.append();
        catalog.setValue(QStringLiteral("Loc"), loc);
        if (!name.isEmpty())
            catalog.setValue(QStringLiteral("Nume_Uzufruct"), name);
        if (!cnp.isEmpty())
            catalog.setValue(QStringLiteral("CNP_Uzufruct"), cnp);
        if (!obs.isEmpty())
            catalog.setValue(QStringLiteral("Observatii"), obs);
        catalog.post();
    }

    int count(const QString& sql) { return int(scalarOf(db, sql)); }

    QStringList column(const QString& field) {
        QStringList out;
        for (catalog.first(); !catalog.eof(); catalog.next())
            out << catalog.asString(field);
        return out;
    }
};

const QString kIncorrect = QStringLiteral("Cod personal incorect!");
const QString kDuplicate = QStringLiteral(
    "Acest cod personal mai exista inregistrat in baza de date. Analizati situatia.");

} // namespace

class TestRegister : public QObject {
    Q_OBJECT
private slots:
    void personalCodeControlDigit() {
        QVERIFY(ValidCNP(QStringLiteral("1234567890128"))); // S = 261, r = 8
        QVERIFY(!ValidCNP(QStringLiteral("1234567890123")));
        QVERIFY(ValidCNP(QStringLiteral("5000000000001"))); // r = 10 needs 1
        QVERIFY(!ValidCNP(QStringLiteral("5000000000000")));
        for (const char* bad :
             {"", "123456789012", "12345678901280", "123456789012a", "12345678 0128",
              "+234567890128", "-234567890128", "１234567890128"})
            QVERIFY2(!ValidCNP(QString::fromUtf8(bad)), bad);
    }

    void codeWarningsComeInOrderAndKeepTheValue() {
        Register r;
        r.setUnit(QStringLiteral("Cimitirul Central"));
        ScriptedPrompts prompts;
        r.place(QStringLiteral("1"), QStringLiteral("POPESCU ION"),
                QStringLiteral("1234567890128"));
        r.place(QStringLiteral("2"), {}, QStringLiteral("1234567890123"));
        QCOMPARE(prompts.texts(), QStringList{kIncorrect});
        prompts.clear();

        // A valid code stored elsewhere: only the duplicate warning.
        r.catalog.edit();
        r.catalog.setValue(QStringLiteral("CNP_Uzufruct"), QStringLiteral("1234567890128"));
        QCOMPARE(prompts.texts(), QStringList{kDuplicate});
        prompts.clear();
        // An invalid code also stored elsewhere: both, the incorrect one first.
        r.catalog.setValue(QStringLiteral("CNP_Uzufruct"), QStringLiteral("1234567890123"));
        QCOMPARE(prompts.texts(), (QStringList{kIncorrect, kDuplicate}));
        QCOMPARE(prompts.shown().first().icon, PromptIcon::Warning);
        QCOMPARE(r.catalog.asString(QStringLiteral("CNP_Uzufruct")),
                 QStringLiteral("1234567890123"));
        prompts.clear();
        // Clearing the code warns and keeps the cleared value.
        r.catalog.setValue(QStringLiteral("CNP_Uzufruct"), QString());
        QCOMPARE(prompts.texts(), QStringList{kIncorrect});
        QVERIFY(r.catalog.isNull(QStringLiteral("CNP_Uzufruct")));
        r.catalog.post();
        QVERIFY(r.count(QStringLiteral(
                    "SELECT count(*) FROM Catalog WHERE CNP_Uzufruct IS NULL")) == 1);
    }

    void identifiersFollowTheLargestStored() {
        Register r;
        r.setUnit(QStringLiteral("U"));
        r.place(QStringLiteral("a"));
        QCOMPARE(r.catalog.asFloat(QStringLiteral("Id_Loc")), 1.0);
        r.place(QStringLiteral("b"));
        r.catalog.append();
        r.catalog.setValue(QStringLiteral("Id_Loc"), 7); // typed by hand
        r.catalog.post();
        r.catalog.append();
        QCOMPARE(r.catalog.asFloat(QStringLiteral("Id_Loc")), 8.0);
        QCOMPARE(r.catalog.asString(QStringLiteral("Cimitir")), QStringLiteral("U"));
        r.catalog.cancel();
    }

    void cancellingTheUnitNameAbandonsTheNewPlace() {
        Register r;
        ScriptedPrompts prompts;
        prompts.queueInput(QString()); // Cancel
        QVERIFY_THROWS_EXCEPTION(Abort, r.catalog.append());
        QCOMPARE(r.catalog.state(), TableState::Browse);
        QCOMPARE(r.catalog.rowCount(), 0);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Unitatea")), 0);

        prompts.queueInput(QString(40, QLatin1Char('N')));
        r.catalog.append();
        QCOMPARE(r.catalog.asString(QStringLiteral("Cimitir")), QString(30, QLatin1Char('N')));
        QCOMPARE(r.count(QStringLiteral("SELECT length(Cimitir) FROM Unitatea")), 30);
    }

    void deletingAPlaceTakesOnlyItsDetails() {
        Register r;
        r.setUnit(QStringLiteral("U"));
        auto fill = [&](int conc, int pers, int chit) {
            for (int i = 0; i < conc; ++i) {
                r.conc.append();
                r.conc.setValue(QStringLiteral("Nr_concesiune"), i + 1);
                r.conc.post();
            }
            for (int i = 0; i < pers; ++i) {
                r.pers.append();
                r.pers.setValue(QStringLiteral("Numar"), i + 1);
                r.pers.post();
            }
            for (int i = 0; i < chit; ++i) {
                r.chit.append();
                r.chit.setValue(QStringLiteral("Nr_chit"), i + 1);
                r.chit.post();
            }
        };
        r.place(QStringLiteral("1"));
        fill(1, 1, 1);
        r.place(QStringLiteral("2"));
        fill(2, 3, 5);
        r.place(QStringLiteral("3"));
        fill(1, 0, 2);
        QVERIFY(r.catalog.locate(QStringLiteral("Id_Loc"), 2));

        ScriptedPrompts prompts;
        prompts.queueAnswer(PromptAnswer::No);
        QVERIFY_THROWS_EXCEPTION(Abort, r.catalog.remove());
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Chitante")), 8);
        QCOMPARE(prompts.shown().first().caption, QStringLiteral("Confirmati"));
        QCOMPARE(prompts.shown().first().defaultAnswer, PromptAnswer::No);
        QVERIFY(prompts.shown().first().text.contains(QStringLiteral("loc:\ristoric")));

        prompts.queueAnswer(PromptAnswer::Yes);
        r.catalog.remove();
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Catalog")), 2);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Concesionari")), 2);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM PersInmormantate")), 1);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Chitante")), 3);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Chitante WHERE Id_Loc = 2")), 0);
        // The detail grids now show the next current place's rows.
        QCOMPARE(r.chit.recordCount(),
                 r.count(QStringLiteral("SELECT count(*) FROM Chitante WHERE Id_Loc = %1")
                             .arg(r.catalog.asFloat(QStringLiteral("Id_Loc")))));
    }

    void aDeleteFailingHalfWayLeavesEverything() {
        Register r;
        r.setUnit(QStringLiteral("U"));
        r.place(QStringLiteral("1"));
        for (int i = 1; i <= 3; ++i) {
            r.conc.append();
            r.conc.setValue(QStringLiteral("Nr_concesiune"), i);
            r.conc.post();
        }
        for (int i = 1; i <= 5; ++i) {
            r.chit.append();
            r.chit.setValue(QStringLiteral("Nr_chit"), i);
            r.chit.post();
        }
        // The store refuses the fourth receipt's deletion.
        r.db.exec(
            QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON Chitante WHEN old.Nr_chit = 4 "
                           "BEGIN SELECT RAISE(ABORT, 'chitanta blocata'); END"));
        ScriptedPrompts prompts;
        prompts.queueAnswer(PromptAnswer::Yes);
        try {
            r.catalog.remove();
            QFAIL("the delete should have failed");
        } catch (const StoreError& e) {
            QVERIFY(e.message().contains(QStringLiteral("chitanta blocata")));
        }
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Catalog")), 1);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Concesionari")), 3);
        QCOMPARE(r.count(QStringLiteral("SELECT count(*) FROM Chitante")), 5);
        QCOMPARE(r.conc.recordCount(), 3); // the grids show the rows again
        QCOMPARE(r.chit.recordCount(), 5);
    }

    void filterTextMatching() {
        QCOMPARE(SplitText(QStringLiteral("a  b "), QStringLiteral(" ")),
                 (QStringList{QStringLiteral("a"), QString(), QStringLiteral("b"), QString()}));
        QCOMPARE(upperAscii(QStringLiteral("ion ă ß")), QStringLiteral("ION ă ß"));
        QVERIFY(MatchFilterText(QStringLiteral("12"), QStringLiteral("A12B")));
        QVERIFY(!MatchFilterText(QStringLiteral("12"), QStringLiteral("1-2")));
        QVERIFY(!MatchFilterText(QStringLiteral("X"), QString()));
        QVERIFY(MatchFilterText(QStringLiteral("ION POP"), QStringLiteral("POPESCU ION")));
        QVERIFY(!MatchFilterText(QStringLiteral("ION POP"), QStringLiteral("IONESCU MARIA")));
        // A second word still being typed does not empty the grid.
        QVERIFY(MatchFilterText(QStringLiteral("ION "), QStringLiteral("POPESCU ION")));
        QVERIFY(MatchFilterText(QStringLiteral(" ION  POP"), QStringLiteral("POPESCU ION")));
        // Romanian marks count for nothing, on either side, comma or cedilla,
        // capital or small; other letters with marks stay themselves.
        QVERIFY(MatchFilterText(QStringLiteral("stefan"), QStringLiteral("ȘTEFAN")));
        QVERIFY(MatchFilterText(QStringLiteral("STEFAN"), QStringLiteral("ŞTEFAN")));
        QVERIFY(MatchFilterText(QStringLiteral("taranu"), QStringLiteral("ȚĂRANU")));
        QVERIFY(MatchFilterText(QStringLiteral("ionita"), QStringLiteral("Ioniță")));
        QVERIFY(MatchFilterText(QStringLiteral("Ioniţă"), QStringLiteral("IONITA")));
        QVERIFY(MatchFilterText(QStringLiteral("ştefăneşti"), QStringLiteral("Ștefănești")));
        QVERIFY(MatchFilterText(QStringLiteral("INTAI"), QStringLiteral("Întâi")));
        QVERIFY(
            MatchFilterText(QStringLiteral("tarnaveni moara"), QStringLiteral("Moară, Târnăveni")));
        QVERIFY(!MatchFilterText(QStringLiteral("muller"), QStringLiteral("Müller")));
        QVERIFY(!MatchFilterText(QStringLiteral("SS"), QStringLiteral("Ș")));
        QCOMPARE(FoldedText::fold(QByteArrayView("ăâîșşțţĂÂÎȘŞȚŢ éß")),
                 QByteArray("AAISSTTAAISSTT éß"));
        // A cut-off lead byte at the end is kept, not read past.
        QCOMPARE(FoldedText::fold(QByteArrayView("a\xC8", 2)), QByteArray("A\xC8"));
    }

    void filteringTheRegister() {
        Register r;
        r.setUnit(QStringLiteral("U"));
        ScriptedPrompts prompts;
        r.place(QStringLiteral("12"), QStringLiteral("POPESCU ION"), {}, QStringLiteral("gard"));
        r.place(QStringLiteral("112"), QStringLiteral("Ion Popa"));
        r.place(QStringLiteral("A12B"), QStringLiteral("IONESCU MARIA"));
        r.place(QStringLiteral("1-2"), QStringLiteral("Vasile"));
        r.catalog.setFiltered(true);
        auto only = [&](int edit, const QString& text) {
            r.filter.clear();
            r.filter.setText(edit, text);
            r.catalog.refresh();
            return r.column(QStringLiteral("Loc"));
        };
        QCOMPARE(
            only(3, QStringLiteral("12")),
            (QStringList{QStringLiteral("12"), QStringLiteral("112"), QStringLiteral("A12B")}));
        QCOMPARE(only(5, QStringLiteral("pop")),
                 (QStringList{QStringLiteral("12"), QStringLiteral("112")}));
        QCOMPARE(only(5, QStringLiteral("ion pop")),
                 (QStringList{QStringLiteral("12"), QStringLiteral("112")}));
        QCOMPARE(only(6, QStringLiteral("g")), QStringList{QStringLiteral("12")});
        // Two texts at once: both must hold.
        r.filter.setText(3, QStringLiteral("1"));
        r.filter.setText(5, QStringLiteral("ion"));
        r.filter.setText(6, QString());
        r.catalog.refresh();
        QCOMPARE(
            r.column(QStringLiteral("Loc")),
            (QStringList{QStringLiteral("12"), QStringLiteral("112"), QStringLiteral("A12B")}));
        r.filter.setText(3, QStringLiteral("A"));
        r.catalog.refresh();
        QCOMPARE(r.column(QStringLiteral("Loc")), QStringList{QStringLiteral("A12B")});
        // The names as the register holds them, found as a clerk types them.
        r.place(QStringLiteral("20"), QStringLiteral("ȘTEFAN ȚĂRANU"));
        r.place(QStringLiteral("21"), QStringLiteral("ŞTEFAN IONIŢĂ"));
        r.place(QStringLiteral("22"), QStringLiteral("STEFAN TARANU"));
        r.place(QStringLiteral("23"), QStringLiteral("Ion Țăran"));
        r.catalog.setFiltered(false);
        r.catalog.setFiltered(true);
        QCOMPARE(only(5, QStringLiteral("STEFAN")),
                 (QStringList{QStringLiteral("20"), QStringLiteral("21"), QStringLiteral("22")}));
        QCOMPARE(only(5, QStringLiteral("taranu stef")),
                 (QStringList{QStringLiteral("20"), QStringLiteral("22")}));
        QCOMPARE(only(5, QStringLiteral("ioniţa")), QStringList{QStringLiteral("21")});
        QCOMPARE(only(5, QStringLiteral("ȚARAN")),
                 (QStringList{QStringLiteral("20"), QStringLiteral("22"), QStringLiteral("23")}));
        r.catalog.setFiltered(false);
        QCOMPARE(r.catalog.recordCount(), 8);
    }

    void sortingByHolderName() {
        Register r;
        r.setUnit(QStringLiteral("U"));
        ScriptedPrompts prompts;
        r.place(QStringLiteral("1"), QStringLiteral("VASILE"), QStringLiteral("2"));
        r.place(QStringLiteral("2"), QStringLiteral("ANA"), QStringLiteral("9"));
        r.place(QStringLiteral("3"), QStringLiteral("ANA"), QStringLiteral("3"));
        r.catalog.last();
        QVERIFY(CatalogSort::apply(r.catalog, 6)); // "Nume Uzufruct"
        QCOMPARE(r.catalog.currentRow(), 0);
        QCOMPARE(r.catalog.asString(QStringLiteral("Loc")), QStringLiteral("3"));
        QCOMPARE(r.column(QStringLiteral("Loc")),
                 (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
        const int nr = r.catalog.fieldIndex(QStringLiteral("NrCrt"));
        QCOMPARE(r.catalog.valueAt(2, nr).toInt(), 3);

        // A missing index leaves the order as it was.
        r.db.exec(QStringLiteral("DROP INDEX \"Catalog_Loc\""));
        QVERIFY(!CatalogSort::apply(r.catalog, 4));
        QCOMPARE(r.column(QStringLiteral("Loc")),
                 (QStringList{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));
    }
};

QTEST_MAIN(TestRegister)
#include "tst_register.moc"
