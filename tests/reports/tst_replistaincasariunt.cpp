#include "Database.h"
#include "RepListaIncasariUnt.h"
#include "ReportEngine.h"
#include "ReportFixture.h"
#include "StoreError.h"
#include "TestSupport.h"
#include "Values.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

QStringList allLines(const PageModel& m) {
    QStringList out;
    for (int p = 0; p < m.pageCount(); ++p)
        out += baselineLines(m, p);
    return out;
}

QString d(int y, int m, int day) {
    return Values::dateToText(QDate(y, m, day));
}

} // namespace

class TestRepListaIncasari : public QObject {
    Q_OBJECT

    TempProgramDir m_dir;
    std::unique_ptr<Database> m_db;
    int m_receipt = 0;

    void place(double id, const QString& cemetery) {
        m_db->exec(
            QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Nume_Uzufruct) VALUES (?,?,?)"),
            {id, cemetery, QStringLiteral("TITULAR")});
    }
    void receipt(double id, const QDate& date, double sum, const QString& type,
                 const QString& payer = QStringLiteral("PLATITOR"), double nr = -1) {
        m_db->exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Explicatie, Suma, "
                                  "Numele_beneficiarului, Tip_incasare, DStart, DStop) "
                                  "VALUES (?,?,?,?,?,?,?,?,?)"),
                   {id, nr >= 0 ? nr : double(++m_receipt), Values::dateToStored(date),
                    QStringLiteral("plata"), sum, payer, type,
                    Values::dateToStored(QDate(date.year(), 1, 1)),
                    Values::dateToStored(QDate(date.year(), 12, 31))});
    }

    std::unique_ptr<PageModel> run(const QDate& from, const QDate& to,
                                   const QStringList& cemeteries = {},
                                   const QStringList& types = {}) {
        TRepListaIncasariFrm form;
        ReportRequest req;
        req.programDir = m_dir.path();
        req.from = from;
        req.to = to;
        req.cemeteries = cemeteries;
        req.types = types;
        form.prepare(*m_db, req);
        auto model = ReportLayout::run(form.definition(), form.rows());
        form.close();
        return model;
    }

private slots:
    void init() {
        m_db = std::make_unique<Database>(m_dir.file(QStringLiteral("Tombrix.sqlite")));
        m_db->open();
        m_db->exec(QStringLiteral("DELETE FROM Catalog"));
        m_db->exec(QStringLiteral("DELETE FROM Chitante"));
        m_receipt = 0;
    }
    void cleanup() { m_db.reset(); }

    // Both ends of the period are in it; the days around it are not.
    void periodEndsIncluded() {
        place(1, QStringLiteral("Central"));
        receipt(1, QDate(2024, 1, 31), 1, QStringLiteral("Taxa anuala"));
        receipt(1, QDate(2024, 2, 1), 10, QStringLiteral("Taxa anuala"));
        receipt(1, QDate(2024, 2, 15), 20, QStringLiteral("Taxa anuala"));
        receipt(1, QDate(2024, 2, 29), 30, QStringLiteral("Taxa anuala"));
        receipt(1, QDate(2024, 3, 1), 2, QStringLiteral("Taxa anuala"));
        receipt(2, QDate(2024, 2, 10), 500, QStringLiteral("Taxa anuala")); // no such place

        auto m = run(QDate(2024, 2, 1), QDate(2024, 2, 29));
        QCOMPARE(m->pageCount(), 1);
        const QStringList l = baselineLines(*m, 0);
        QVERIFY(l.contains(QStringLiteral("de  la data : | %1 | pana la data : | %2")
                               .arg(d(2024, 2, 1), d(2024, 2, 29))));
        QVERIFY(l.contains(QStringLiteral("(Perioada achitata)")));
        QVERIFY(l.contains(QStringLiteral("Nr. crt. | Data | Nr. chitanta | Suma | Achitat de... | "
                                          "de la data | pana la data")));
        QVERIFY(l.contains(QStringLiteral("Cimitirul:  | Central")));
        QVERIFY(l.contains(QStringLiteral("Tipul incasarii:  | Taxa anuala")));
        const QString tail =
            QStringLiteral(" | PLATITOR | %1 | %2").arg(d(2024, 1, 1), d(2024, 12, 31));
        QVERIFY(l.contains(QStringLiteral("1 | %1 | 2 | 10,00").arg(d(2024, 2, 1)) + tail));
        QVERIFY(l.contains(QStringLiteral("2 | %1 | 3 | 20,00").arg(d(2024, 2, 15)) + tail));
        QVERIFY(l.contains(QStringLiteral("3 | %1 | 4 | 30,00").arg(d(2024, 2, 29)) + tail));
        QCOMPARE(l.filter(QStringLiteral("PLATITOR")).size(), 3);
        QVERIFY(l.contains(
            QStringLiteral("Total valoare pentru tip incasare:  | Taxa anuala | 60,00")));
        QVERIFY(l.contains(QStringLiteral("Total valoare pentru cimitirul:  | Central | 60,00")));
        QVERIFY(l.contains(QStringLiteral("Total general:  | 60,00")));
        QVERIFY(l.last().startsWith(QStringLiteral("Pagina  1")));

        // One day.
        auto one = run(QDate(2024, 2, 15), QDate(2024, 2, 15));
        const QStringList o = allLines(*one);
        QCOMPARE(o.filter(QStringLiteral("PLATITOR")).size(), 1);
        QVERIFY(o.contains(QStringLiteral("Total general:  | 20,00")));

        // Nothing in the period: no pages.
        QCOMPARE(run(QDate(2025, 1, 1), QDate(2025, 12, 31))->pageCount(), 0);
    }

    // Groups: one type in two cemeteries gives two groups with their own
    // totals and numbering; footers close inner groups first; every
    // cemetery begins a page; totals are the sums of their rows.
    void groupsTotalsAndPages() {
        place(1, QStringLiteral("Central"));
        place(2, QStringLiteral("Nord"));
        receipt(1, QDate(2024, 3, 1), 100.5, QStringLiteral("Concesiune"));
        receipt(1, QDate(2024, 3, 2), 1000, QStringLiteral("Taxa anuala"));
        receipt(1, QDate(2024, 3, 3), 234.25, QStringLiteral("Taxa anuala"));
        receipt(2, QDate(2024, 3, 1), 7, QStringLiteral("Taxa anuala"));
        receipt(2, QDate(2024, 3, 5), 8, QStringLiteral("Taxa anuala"));
        // Two receipts alike in every listed field count once.
        receipt(2, QDate(2024, 3, 6), 50, QStringLiteral("Taxa anuala"), QStringLiteral("DUBLU"),
                99);
        receipt(2, QDate(2024, 3, 6), 50, QStringLiteral("Taxa anuala"), QStringLiteral("DUBLU"),
                99);

        auto m = run(QDate(2024, 1, 1), QDate(2024, 12, 31));
        QCOMPARE(m->pageCount(), 2);
        const QStringList p1 = baselineLines(*m, 0), p2 = baselineLines(*m, 1);
        auto at = [](const QStringList& l, const QString& start) {
            for (int i = 0; i < l.size(); ++i)
                if (l.at(i).startsWith(start))
                    return i;
            return -1;
        };
        // Central: Concesiune (1 row), then Taxa anuala (2 rows, numbered from 1 again).
        QVERIFY(at(p1, QStringLiteral("Cimitirul:  | Central")) >= 0);
        QCOMPARE(p1.filter(QStringLiteral("Nord")).size(), 0);
        const int conc = at(p1, QStringLiteral("Tipul incasarii:  | Concesiune"));
        const int concTotal =
            at(p1, QStringLiteral("Total valoare pentru tip incasare:  | Concesiune | 100,50"));
        const int taxa = at(p1, QStringLiteral("Tipul incasarii:  | Taxa anuala"));
        const int taxaTotal =
            at(p1, QStringLiteral("Total valoare pentru tip incasare:  | Taxa anuala | 1.234,25"));
        const int cimTotal =
            at(p1, QStringLiteral("Total valoare pentru cimitirul:  | Central | 1.334,75"));
        QVERIFY(conc >= 0 && concTotal > conc && taxa > concTotal && taxaTotal > taxa &&
                cimTotal > taxaTotal);
        QVERIFY(p1.at(conc + 1).startsWith(QStringLiteral("1 | ")));
        QVERIFY(p1.at(taxa + 1).startsWith(QStringLiteral("1 | ")));
        QVERIFY(p1.at(taxa + 2).startsWith(QStringLiteral("2 | ")));
        QVERIFY(p1.at(taxa + 2).contains(QStringLiteral("234,25")));
        QCOMPARE(at(p1, QStringLiteral("Total general")), -1);

        // Nord on its own page, same type, its own numbering and total.
        QVERIFY(at(p2, QStringLiteral("Cimitirul:  | Nord")) >= 0);
        const int nordTaxa = at(p2, QStringLiteral("Tipul incasarii:  | Taxa anuala"));
        QVERIFY(p2.at(nordTaxa + 1).startsWith(QStringLiteral("1 | ")));
        QVERIFY(p2.at(nordTaxa + 3).startsWith(QStringLiteral("3 | ")));
        QVERIFY(p2.at(nordTaxa + 3).contains(QStringLiteral("DUBLU")));
        QCOMPARE(p2.filter(QStringLiteral("DUBLU")).size(), 1);
        const int nordType =
            at(p2, QStringLiteral("Total valoare pentru tip incasare:  | Taxa anuala | 65,00"));
        const int nordCim =
            at(p2, QStringLiteral("Total valoare pentru cimitirul:  | Nord | 65,00"));
        const int general = at(p2, QStringLiteral("Total general:  | 1.399,75"));
        QVERIFY(nordType == nordTaxa + 4 && nordCim == nordType + 1 && general == nordCim + 1);
        QVERIFY(p2.last().startsWith(QStringLiteral("Pagina  2")));
    }

    // The cemetery and type selections restrict the list; their values are
    // bound, so a quote in a name is only a character.
    void selections() {
        place(1, QStringLiteral("Central"));
        place(2, QStringLiteral("Nord \"Vechi\""));
        place(3, QStringLiteral("Sud"));
        receipt(1, QDate(2024, 3, 1), 1, QStringLiteral("Concesiune"));
        receipt(2, QDate(2024, 3, 1), 2, QStringLiteral("Taxa anuala"));
        receipt(2, QDate(2024, 3, 1), 4, QStringLiteral("Inhumare"));
        receipt(3, QDate(2024, 3, 1), 8, QStringLiteral("Taxa anuala"));

        auto m = run(QDate(2024, 1, 1), QDate(2024, 12, 31),
                     {QStringLiteral("Nord \"Vechi\""), QStringLiteral("Sud")},
                     {QStringLiteral("Taxa anuala")});
        const QStringList l = allLines(*m);
        QCOMPARE(m->pageCount(), 2);
        QVERIFY(l.contains(QStringLiteral("Cimitirul:  | Nord \"Vechi\"")));
        QVERIFY(l.contains(QStringLiteral("Cimitirul:  | Sud")));
        QCOMPARE(l.filter(QStringLiteral("Central")).size(), 0);
        QCOMPARE(l.filter(QStringLiteral("Inhumare")).size(), 0);
        QVERIFY(l.contains(QStringLiteral("Total general:  | 10,00")));
    }

    // End to end: the PDF's text holds the groups and totals.
    void pdfReadBack() {
        if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
            QSKIP("pdftotext is not installed");
        place(1, QStringLiteral("Central"));
        place(2, QStringLiteral("Nord"));
        receipt(1, QDate(2024, 3, 1), 1234.5, QStringLiteral("Concesiune"));
        receipt(2, QDate(2024, 3, 1), 10, QStringLiteral("Taxa anuala"));
        auto m = run(QDate(2024, 1, 1), QDate(2024, 12, 31));
        QTemporaryDir tmp;
        const QString pdf = tmp.filePath(QStringLiteral("incasari.pdf"));
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, pdf, &error), qPrintable(error));
        const QString text = pdfText(pdf).simplified();
        for (const char* s :
             {"Lista incasarilor", "Cimitirul: Central", "Tipul incasarii: Concesiune",
              "Total valoare pentru tip incasare: Concesiune 1.234,50",
              "Total valoare pentru cimitirul: Central 1.234,50", "Cimitirul: Nord",
              "Total general: 1.244,50", "Pagina 2"})
            QVERIFY2(text.contains(QLatin1String(s)), s);
    }

    // A store failure surfaces as StoreError from prepare, for the run to
    // report; the form can still be closed.
    void storeFailure() {
        m_db->exec(QStringLiteral("DROP TABLE Chitante"));
        TRepListaIncasariFrm form;
        ReportRequest req;
        req.from = req.to = QDate(2024, 1, 1);
        QVERIFY_THROWS_EXCEPTION(StoreError, form.prepare(*m_db, req));
        form.close();
        m_db.reset();
        QFile::remove(m_dir.file(QStringLiteral("Tombrix.sqlite")));
    }
};

QTEST_MAIN(TestRepListaIncasari)
#include "tst_replistaincasariunt.moc"
