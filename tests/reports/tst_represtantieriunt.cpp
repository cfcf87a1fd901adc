#include "Database.h"
#include "HolderRows.h"
#include "RepRestantieriUnt.h"
#include "ReportEngine.h"
#include "ReportFixture.h"
#include "TestSupport.h"
#include "Values.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

QString d(int y, int m, int day) {
    return Values::dateToText(QDate(y, m, day));
}

const QDate Ref(2024, 6, 30);

} // namespace

class TestRepRestantieri : public QObject {
    Q_OBJECT

    TempProgramDir m_dir;
    std::unique_ptr<Database> m_db;

    void place(double id, const QString& cemetery, const QVariant& name,
               const QVariant& code = QVariant()) {
        m_db->exec(
            QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, "
                           "Loc, CNP_Uzufruct, Nume_Uzufruct) VALUES (?,?,'S','P','R',?,?,?)"),
            {id, cemetery, QString::number(id), code, name});
    }
    void concession(double id, const QDate& date, const QString& name, double nr = 1,
                    const QVariantMap& more = {}) {
        QStringList cols = {"Id_Loc", "Nr_concesiune", "Data_concesiune", "Nume_Uzufruct"};
        QVariantList vals = {id, nr, Values::dateToStored(date), name};
        for (auto it = more.constBegin(); it != more.constEnd(); ++it) {
            cols << it.key();
            vals << it.value();
        }
        m_db->exec(
            QStringLiteral("INSERT INTO Concesionari (%1) VALUES (%2)")
                .arg(cols.join(','), QStringList(cols.size(), QStringLiteral("?")).join(',')),
            vals);
    }
    void fee(double id, const QDate& stop, const QString& type = QStringLiteral("Taxa anuala")) {
        m_db->exec(
            QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Suma, Tip_incasare, "
                           "DStart, DStop) VALUES (?,1,?,10,?,?,?)"),
            {id, Values::dateToStored(stop), type, Values::dateToStored(QDate(stop.year(), 1, 1)),
             Values::dateToStored(stop)});
    }

    std::unique_ptr<PageModel> run(const QDate& date, const QStringList& cemeteries = {}) {
        TRepRestantieriFrm form;
        ReportRequest req;
        req.programDir = m_dir.path();
        req.date = date;
        req.cemeteries = cemeteries;
        form.prepare(*m_db, req);
        auto model = ReportLayout::run(form.definition(), form.rows());
        form.close();
        return model;
    }

    // The register of the usual cases, in two cemeteries.
    void fillCases() {
        // Central
        place(1, "Central", "ACHITAT LA ZI", "1900101000001");
        concession(1, QDate(2000, 1, 1), "ACHITAT LA ZI");
        fee(1, Ref); // paid up to the reference date: not listed
        place(2, "Central", "BALAN O ZI", "1900101000002");
        concession(2, QDate(2000, 1, 1), "BALAN O ZI", 12, {{"Act_concesiune", "A"}});
        fee(2, Ref.addDays(-1)); // one day short: listed
        fee(2, Ref.addDays(-400));
        place(3, "Central", "CALIN ALTE TAXE");
        concession(3, QDate(2001, 1, 1), "CALIN ALTE TAXE", 3,
                   {{"Strada", "Lunga"}, {"Numarul", "5"}});
        fee(3, QDate(2030, 12, 31), "Concesiune"); // not the annual fee
        place(4, "Central", "DOBRE VECHI", "1900101000004");
        concession(4, QDate(1990, 1, 1), "DOBRE VECHI", 1, {{"Judet", "Arges"}});
        concession(4, QDate(2015, 5, 5), "ENACHE NOU", 40, {{"Judet", "Prahova"}});
        place(5, "Central", "FARA CONCESIUNE");
        place(6, "Central", QVariant()); // no holder
        concession(6, QDate(2001, 1, 1), "FARA TITULAR");
        place(7, "Central", "GHITA SCUTIT");
        concession(7, QDate(2002, 2, 2), "GHITA SCUTIT", 7,
                   {{"Scutit_concesiune", 1}, {"Nr_doc_scutit", "5"}, {"Observatii", "veteran"}});
        // Nord: every holder paid up
        place(8, "Nord", "ION PLATIT");
        concession(8, QDate(2000, 1, 1), "ION PLATIT");
        fee(8, Ref.addYears(1));
        // Sud: one holder listed
        place(9, "Sud", "ZAHARIA");
        concession(9, QDate(2000, 1, 1), "ZAHARIA");
    }

private slots:
    void init() {
        m_db = std::make_unique<Database>(m_dir.file(QStringLiteral("Tombrix.sqlite")));
        m_db->open();
        for (const char* t : {"Catalog", "Concesionari", "Chitante"})
            m_db->exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(t)));
    }
    void cleanup() { m_db.reset(); }

    void whoIsListed() {
        fillCases();
        auto m = run(Ref);
        QCOMPARE(m->pageCount(), 3);
        const QStringList central = baselineLines(*m, 0);
        QVERIFY(central.contains(QStringLiteral("Lista restantierilor la plata taxei anuale")));
        QVERIFY(central.contains(QStringLiteral("la data de: | ") + Values::dateToText(Ref)));
        QVERIFY(central.contains(QStringLiteral("Nr. crt. | Numele uzufructului | CNP | Detalii | "
                                                "Data con. | Nr. con. | Ac. pana la")));
        QVERIFY(central.contains(QStringLiteral("Cimitirul:  | Central")));
        const QStringList rows = central.filter(QRegularExpression(QStringLiteral("^\\d+ \\| ")));
        // In the order of the register's holder names; numbered without gaps.
        const QStringList expected = {
            QStringLiteral("1 | BALAN O ZI | 1900101000002 | %1 | 12A | %2")
                .arg(d(2000, 1, 1), Values::dateToText(Ref.addDays(-1))),
            QStringLiteral("2 | CALIN ALTE TAXE | Str Lunga, Nr 5,  | %1 | 3").arg(d(2001, 1, 1)),
            // Replaced holder: the latest concession's name, date, number
            // and address, the register's code.
            QStringLiteral("3 | ENACHE NOU | 1900101000004 | Jud Prahova | %1 | 40")
                .arg(d(2015, 5, 5)),
            QStringLiteral("4 | GHITA SCUTIT | veteran | %1 | 7").arg(d(2002, 2, 2)),
        };
        QCOMPARE(rows, expected);

        // A cemetery whose holders all paid keeps its heading and page.
        const QStringList nord = baselineLines(*m, 1);
        QVERIFY(nord.contains(QStringLiteral("Cimitirul:  | Nord")));
        QCOMPARE(nord.filter(QStringLiteral("ION PLATIT")).size(), 0);
        // Numbering starts again in the next cemetery.
        const QStringList sud = baselineLines(*m, 2);
        QVERIFY(sud.contains(QStringLiteral("Cimitirul:  | Sud")));
        QVERIFY(sud.contains(QStringLiteral("1 | ZAHARIA | %1 | 1").arg(d(2000, 1, 1))));
        QVERIFY(sud.last().startsWith(QStringLiteral("Pagina  3")));

        // A day later the holder paid up to the old reference date is listed too.
        auto later = run(Ref.addDays(1), {QStringLiteral("Central")});
        QCOMPARE(later->pageCount(), 1);
        const QStringList l = baselineLines(*later, 0);
        QVERIFY(l.contains(QStringLiteral("1 | ACHITAT LA ZI | 1900101000001 | %1 | 1 | %2")
                               .arg(d(2000, 1, 1), Values::dateToText(Ref))));
        QCOMPARE(l.filter(QRegularExpression(QStringLiteral("^\\d+ \\| "))).size(), 5);
    }

    // A long address wraps and grows its row; the next row starts below it.
    void longAddressGrowsTheRow() {
        place(1, "Central", "A");
        concession(1, QDate(2000, 1, 1), "A", 1,
                   {{"Strada", "Calea Bucurestilor cu un nume foarte lung"},
                    {"Observatii", QString(QStringLiteral("observatie lunga ")).repeated(12)}});
        place(2, "Central", "B");
        concession(2, QDate(2000, 1, 1), "B");
        auto m = run(Ref);
        double yA = -1, yB = -1, addressBottom = 0;
        for (const PageItem& it : m->page(0)) {
            const QString t = m->itemText(0, it);
            if (t == QLatin1String("A"))
                yA = it.y;
            if (t == QLatin1String("B"))
                yB = it.y;
            if (t.contains(QLatin1String("lunga")))
                addressBottom = std::max(addressBottom, double(it.y + it.h));
        }
        QVERIFY(yA > 0 && yB > yA);
        QVERIFY(addressBottom > yA + 5);
        QVERIFY(yB > addressBottom);
    }

    void paidUpCemeteryAndEmptySelection() {
        place(1, "Central", "PLATIT");
        concession(1, QDate(2000, 1, 1), "PLATIT");
        fee(1, Ref);
        // The cemetery still has a row, though not a printed one: its
        // heading page stays, as the cemetery does.
        QCOMPARE(run(Ref)->pageCount(), 1);
        QCOMPARE(run(Ref, {QStringLiteral("Nord")})->pageCount(), 0);
    }

    // Both lists are reachable by their command-line names.
    void inTheTableOfReports() {
        const ReportKind* k = findReport(QStringLiteral("restantieri"));
        QVERIFY(k && k->ask == ReportAsk::Date);
        QVERIFY(dynamic_cast<TRepRestantieriFrm*>(k->create().get()));
        QVERIFY(findReport(QStringLiteral("incasari")));
    }

    // End to end: the PDF's text holds the list.
    void pdfReadBack() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        fillCases();
        auto m = run(Ref);
        QTemporaryDir tmp;
        const QString pdf = tmp.filePath(QStringLiteral("restantieri.pdf"));
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf);
        for (const char* s :
             {"Lista restantierilor la plata taxei anuale", "Cimitirul: Central", "BALAN O ZI",
              "12A", "ENACHE NOU", "Jud Prahova", "Cimitirul: Nord", "ZAHARIA", "Pagina 3"})
            QVERIFY2(text.simplified().contains(QLatin1String(s)), s);
        QVERIFY(!text.contains(QLatin1String("ACHITAT LA ZI")));
        QCOMPARE(text.count(QLatin1Char('\f')), 3);
    }
};

QTEST_MAIN(TestRepRestantieri)
#include "tst_represtantieriunt.moc"
