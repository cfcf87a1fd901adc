// A grid written to a spreadsheet as the clerk sees it (filter, order,
// visible columns, titles), read back from the file: cells, types, formats.
#include "GridExport.h"
#include "SheetReader.h"
#include "StoreError.h"
#include "WidgetFixture.h"

#include <QFile>
#include <QHeaderView>
#include <QtTest>

namespace {

struct Fixture : GridSet {
    Table& catalog = *tables[0];
    Table& chitante = *tables[3];
    TDBGridNormal& catGrid = *grids[0];
    TDBGridNormal& chitGrid = *grids[3];

    Fixture() {
        db->exec(QStringLiteral(
            "INSERT INTO Catalog (Id_Loc, Sector, Loc, CNP_Uzufruct, Nume_Uzufruct) VALUES "
            "(1, 'A', '12', '1850101123456', 'ȘTEFAN Ion'), (2, 'B', '3', '2900202123457', "
            "'Pop; \"Mia\"'), (3, 'C', '7', NULL, 'Ionescu Țăranu')"));
        db->exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Suma, Tip_incasare) "
                                "VALUES (1, 1203, '2024-03-05', 12.5, 'Taxa anuala'), "
                                "(1, 1204, NULL, 100, 'Inhumare')"));
        db->noteChangeAll();
        for (Table* t : tables)
            t->refresh();
        catGrid.setColumns(
            {GridColumn::make(QStringLiteral("Sector"), QStringLiteral("Sect.")),
             GridColumn::make(QStringLiteral("Loc")),
             GridColumn::make(QStringLiteral("CNP_Uzufruct"), QStringLiteral("CNP")),
             GridColumn::make(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Numele"))});
        chitGrid.setColumns({GridColumn::make(QStringLiteral("Nr_chit"), QStringLiteral("Nr.")),
                             GridColumn::make(QStringLiteral("Data")),
                             GridColumn::make(QStringLiteral("Suma")),
                             GridColumn::make(QStringLiteral("Tip_incasare"))});
    }
};

} // namespace

class TestGridExport : public QObject {
    Q_OBJECT
private slots:
    void xlsxHoldsTheGridAsShown() {
        Fixture f;
        // The clerk's view: a filter on, a column hidden, one moved to the front.
        f.catalog.onFilterRecord = [](const Table& t) {
            return t.storedText(t.fieldIndex(QStringLiteral("Nume_Uzufruct")))
                .contains(QStringLiteral("Ion"));
        };
        f.catalog.setFiltered(true);
        f.catGrid.setColumnHidden(0, true);
        f.catGrid.horizontalHeader()->moveSection(3, 1); // Numele before Loc
        const QString path = f.dir.file(QStringLiteral("catalog.xlsx"));
        QCOMPARE(GridExport::write(f.catGrid, path), 2);

        const Sheet s = readSheet(path);
        QVERIFY(s.ok);
        QCOMPARE(s.name, QStringLiteral("Catalog"));
        QCOMPARE(s.row(1), (QStringList{QStringLiteral("Numele"), QStringLiteral("Loc"),
                                        QStringLiteral("CNP")}));
        QVERIFY(s.at(QStringLiteral("A1")).bold);
        QCOMPARE(s.frozenAt, QStringLiteral("A2"));
        QCOMPARE(s.rows, 3); // the heading and the two rows the filter shows
        QCOMPARE(s.row(2), (QStringList{QStringLiteral("ȘTEFAN Ion"), QStringLiteral("12"),
                                        QStringLiteral("1850101123456")}));
        QCOMPARE(s.at(QStringLiteral("C2")).kind, QStringLiteral("text")); // never 1.85E+12
        QVERIFY(!s.at(QStringLiteral("A2")).bold);
        QCOMPARE(s.row(3), (QStringList{QStringLiteral("Ionescu Țăranu"), QStringLiteral("7")}));
        QVERIFY(s.widths.value(1) >= QStringLiteral("Ionescu Țăranu").size());
        QVERIFY(s.widths.value(3) >= 13);
        QVERIFY(!QFile::exists(f.dir.file(QStringLiteral(".catalog.xlsx.partial"))));

        const QString receipts = f.dir.file(QStringLiteral("chitante.xlsx"));
        // In the table's order: the receipt without a date first.
        QCOMPARE(GridExport::write(f.chitGrid, receipts), 2);
        const Sheet r = readSheet(receipts);
        QCOMPARE(r.at(QStringLiteral("A3")).kind, QStringLiteral("number"));
        QCOMPARE(r.at(QStringLiteral("A3")).value, QStringLiteral("1203"));
        QCOMPARE(r.at(QStringLiteral("B3")).kind, QStringLiteral("number"));
        QCOMPARE(r.at(QStringLiteral("B3")).value, QStringLiteral("45356")); // 5 March 2024
        QCOMPARE(r.at(QStringLiteral("B3")).format, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(r.at(QStringLiteral("C3")).value, QStringLiteral("12.5"));
        QCOMPARE(r.at(QStringLiteral("D2")).value, QStringLiteral("Inhumare"));
        QVERIFY(!r.cells.contains(QStringLiteral("B2"))); // an empty date stays empty
    }

    void csvIsWhatARomanianSpreadsheetOpens() {
        Fixture f;
        const QString path = f.dir.file(QStringLiteral("catalog.csv"));
        QCOMPARE(GridExport::write(f.catGrid, path), 3);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray all = file.readAll();
        QVERIFY(all.startsWith("\xEF\xBB\xBF"));
        const QList<QByteArray> lines = all.mid(3).split('\n');
        QCOMPARE(lines.value(0), QByteArray("Sect.;Loc;CNP;Numele\r"));
        QCOMPARE(lines.value(1), QString::fromUtf8("A;12;1850101123456;ȘTEFAN Ion\r").toUtf8());
        QCOMPARE(lines.value(2), QByteArray("B;3;2900202123457;\"Pop; \"\"Mia\"\"\"\r"));
        QCOMPARE(lines.value(3), QString::fromUtf8("C;7;;Ionescu Țăranu\r").toUtf8());

        const QString receipts = f.dir.file(QStringLiteral("chitante.csv"));
        GridExport::write(f.chitGrid, receipts);
        QFile rf(receipts);
        QVERIFY(rf.open(QIODevice::ReadOnly));
        const QList<QByteArray> rl = rf.readAll().mid(3).split('\n');
        QCOMPARE(rl.value(2), QByteArray("1203;05.03.2024;12,5;Taxa anuala\r"));
        QCOMPARE(rl.value(1), QByteArray("1204;;100;Inhumare\r"));
    }

    void cancelledOrFailedExportLeavesNoFile() {
        Fixture f;
        const QString path = f.dir.file(QStringLiteral("x.xlsx"));
        QVERIFY(QFile(path).open(QIODevice::WriteOnly)); // an older export stays until replaced
        try {
            GridExport::write(f.catGrid, path, [](int, int) { return false; });
            QFAIL("the export was not stopped");
        } catch (const Abort&) {
        }
        QVERIFY(QFile::exists(path));
        QCOMPARE(QFileInfo(path).size(), 0);
        QCOMPARE(
            QDir(f.dir.path()).entryList({QStringLiteral("*.partial")}, QDir::Files | QDir::Hidden),
            QStringList());
        try {
            GridExport::write(f.catGrid, f.dir.file(QStringLiteral("nu/exista/x.csv")));
            QFAIL("a file in a missing directory was written");
        } catch (const StoreError& e) {
            QVERIFY(e.message().startsWith(QStringLiteral("Nu pot scrie fisierul")));
        }
    }
};

QTEST_MAIN(TestGridExport)
#include "tst_gridexport.moc"
