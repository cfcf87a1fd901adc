#include "Clock.h"
#include "HolderRegister.h"
#include "RepConExpUnt.h"
#include "ReportEngine.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QString d(int y, int m, int day) {
    return Values::dateToText(QDate(y, m, day));
}

// Prepares the report for `date` and lays it out.
std::unique_ptr<PageModel> layoutAt(HolderRegister& reg, const QDate& date,
                                    const QStringList& cemeteries = {}) {
    TRepConExpFrm form;
    ReportRequest request;
    request.programDir = reg.dir.path();
    request.date = date;
    request.cemeteries = cemeteries;
    form.prepare(reg.db, request);
    auto model = ReportLayout::run(form.definition(), form.rows());
    form.close();
    return model;
}

// The register of the expiry cases; "Bellu" and "Ghencea".
struct ExpiryRegister : HolderRegister {
    ExpiryRegister() {
        // Runs out on 14.03.2025; the name printed is the concession's.
        const int a = addPlace("Bellu", "1800101123456", "POPESCU ION");
        addConcession(a, QDate(2000, 3, 15), 25, 12,
                      {{"Nume_Uzufruct", "POPESCU I. ION"},
                       {"Act_concesiune", "A"},
                       {"Strada", "Lunga"},
                       {"Numarul", "5"}});
        // An old expired concession; the latest still runs.
        const int b = addPlace("Bellu", "2800101123457", "ALBU MARIA");
        addConcession(b, QDate(1990, 1, 1), 5, 1, {{"Nume_Uzufruct", "ALBU VECHI"}});
        addConcession(b, QDate(2020, 1, 1), 50, 2, {{"Nume_Uzufruct", "ALBU MARIA"}});
        // No holder on the place: never listed.
        const int c = addPlace("Bellu", QString(), QString());
        addConcession(c, QDate(1980, 1, 1), 10, 3, {{"Nume_Uzufruct", "FARA TITULAR"}});
        // 29 February for 7 years: 27.02.2007.
        const int e = addPlace("Bellu", "1700101123458", "ZANE DAN");
        addConcession(e, QDate(2000, 2, 29), 7, 4,
                      {{"Nume_Uzufruct", "ZANE DAN"}, {"Judet", "Ilfov"}, {"Etaj", 3.0}});
        // An empty term runs out the day before.
        const int f = addPlace("Bellu", QString(), "MARIN ANA");
        addConcession(f, QDate(2010, 6, 10), QVariant(), 5, {{"Nume_Uzufruct", "MARIN ANA"}});
        // A concession without a date has no expiry: listed, the column empty.
        const int g = addPlace("Bellu", "1900101123459", "BARBU GEO");
        addConcession(g, QDate(), 30, 6, {{"Nume_Uzufruct", "BARBU GEO"}});
        // Nothing listed in Ghencea.
        const int h = addPlace("Ghencea", "1600101123450", "IONESCU VASILE");
        addConcession(h, QDate(2015, 5, 5), 99, 7, {{"Nume_Uzufruct", "IONESCU VASILE"}});
    }
};

} // namespace

namespace {

// The texts printed on the line of `first`, left to right.
QStringList lineOf(const PageModel& m, int page, const QString& first) {
    const std::optional<PlacedText> anchor = findText(m, page, first);
    if (!anchor)
        return {};
    QList<PlacedText> line;
    for (const PlacedText& t : placedTexts(m, page)) {
        if (std::abs(t.y - anchor->y) < 0.01)
            line.append(t);
    }
    std::sort(line.begin(), line.end(),
              [](const PlacedText& a, const PlacedText& b) { return a.x < b.x; });
    QStringList out;
    for (const PlacedText& t : line)
        out << t.text;
    return out;
}

// The running numbers of a page: the texts of the first column under the
// heading row.
QStringList numbers(const PageModel& m, int page) {
    const std::optional<PlacedText> heading = findText(m, page, "Nr. crt.");
    QStringList out;
    if (!heading)
        return out;
    for (const PlacedText& t : placedTexts(m, page)) {
        if (t.y > heading->y + 3 && t.x + t.w <= heading->x + heading->w + 0.01)
            out << t.text;
    }
    return out;
}

} // namespace

class TestRepConExp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Clock::setToday(QDate(2026, 3, 15)); }
    void cleanupTestCase() { Clock::setToday(QDate()); }
    void expiryDate_data();
    void expiryDate();
    void listedRows();
    void expiryOnTheDateNotListed();
    void cemeteryWithoutRowsGetsItsPage();
    void chosenCemeteries();
    void columnsStayInTheirRules();
    void menuEntry();
    void endToEndPdf();
};

void TestRepConExp::expiryDate_data() {
    QTest::addColumn<QVariant>("start");
    QTest::addColumn<QVariant>("years");
    QTest::addColumn<QDate>("expiry");
    QTest::newRow("25 years") << QVariant(QDate(2000, 3, 15)) << QVariant(25) << QDate(2025, 3, 14);
    QTest::newRow("29 Feb, 7 years")
        << QVariant(QDate(2000, 2, 29)) << QVariant(7) << QDate(2007, 2, 27);
    QTest::newRow("29 Feb, 8 years")
        << QVariant(QDate(2000, 2, 29)) << QVariant(8) << QDate(2008, 2, 28);
    QTest::newRow("1 March, across a leap day")
        << QVariant(QDate(2003, 3, 1)) << QVariant(1) << QDate(2004, 2, 29);
    QTest::newRow("empty term") << QVariant(QDate(2010, 6, 1)) << QVariant() << QDate(2010, 5, 31);
    QTest::newRow("1 January") << QVariant(QDate(2001, 1, 1)) << QVariant(10)
                               << QDate(2010, 12, 31);
    QTest::newRow("stored as text")
        << QVariant(QStringLiteral("2000-03-15")) << QVariant(25) << QDate(2025, 3, 14);
    QTest::newRow("empty date") << QVariant() << QVariant(25) << QDate();
    // 2100 is a multiple of four yet no leap year: the day cannot be formed.
    QTest::newRow("29 Feb to 2100") << QVariant(QDate(2000, 2, 29)) << QVariant(100) << QDate();
    QTest::newRow("huge term") << QVariant(QDate(2000, 1, 1)) << QVariant(qint64(1) << 40)
                               << QDate();
}

void TestRepConExp::expiryDate() {
    QFETCH(QVariant, start);
    QFETCH(QVariant, years);
    QFETCH(QDate, expiry);
    QCOMPARE(DataExpConcesiune(start, years), expiry);
}

void TestRepConExp::listedRows() {
    ExpiryRegister reg;
    const auto m = layoutAt(reg, QDate(2025, 3, 15));
    QVERIFY(m);
    QCOMPARE(m->pageCount(), 2);
    const QStringList page = m->pageTexts(0);
    QVERIFY(page.contains("Situatia concesiunilor expirate"));
    QVERIFY(page.contains("la data de:"));
    QVERIFY(page.contains(d(2025, 3, 15)));
    QCOMPARE(page.count("Cimitirul: "), 1);
    QVERIFY(page.contains("Bellu"));
    // In the order of the holders' names on the places; numbers without gaps.
    QCOMPARE(numbers(*m, 0), QStringList({"1", "2", "3", "4"}));
    QCOMPARE(lineOf(*m, 0, "1"), QStringList({"1", "BARBU GEO", "1900101123459", "6"}));
    QCOMPARE(lineOf(*m, 0, "2"),
             QStringList({"2", "MARIN ANA", d(2010, 6, 10), "5", d(2010, 6, 9)}));
    QCOMPARE(lineOf(*m, 0, "3"),
             QStringList({"3", "POPESCU I. ION", "1800101123456", "Str Lunga, Nr 5, ",
                          d(2000, 3, 15), "12A", d(2025, 3, 14)}));
    QCOMPARE(lineOf(*m, 0, "4"), QStringList({"4", "ZANE DAN", "1700101123458", "Et 3, Jud Ilfov",
                                              d(2000, 2, 29), "4", d(2007, 2, 27)}));
    // Judged by the latest concession only; no holder, never listed.
    QVERIFY(!page.contains("ALBU VECHI") && !page.contains("ALBU MARIA"));
    QVERIFY(!page.contains("FARA TITULAR"));
    QVERIFY(page.contains("Pagina  1"));
    QVERIFY(page.contains(d(2026, 3, 15))); // printed on
}

void TestRepConExp::expiryOnTheDateNotListed() {
    ExpiryRegister reg;
    const auto m = layoutAt(reg, QDate(2025, 3, 14));
    QVERIFY(m);
    const QStringList page = m->pageTexts(0);
    QVERIFY(!page.contains("POPESCU I. ION"));
    QCOMPARE(numbers(*m, 0), QStringList({"1", "2", "3"}));
    QCOMPARE(lineOf(*m, 0, "3").value(1), QStringLiteral("ZANE DAN"));
}

void TestRepConExp::cemeteryWithoutRowsGetsItsPage() {
    ExpiryRegister reg;
    const auto m = layoutAt(reg, QDate(2025, 3, 15));
    QVERIFY(m);
    QCOMPARE(m->pageCount(), 2);
    const QStringList page = m->pageTexts(1);
    QVERIFY(page.contains("Situatia concesiunilor expirate"));
    QVERIFY(page.contains("Cimitirul: "));
    QVERIFY(page.contains("Ghencea"));
    QVERIFY(!page.contains("IONESCU VASILE"));
    QVERIFY(numbers(*m, 1).isEmpty());
    QVERIFY(page.contains("Pagina  2"));
    QVERIFY(!m->pageTexts(0).contains("Ghencea"));
}

void TestRepConExp::chosenCemeteries() {
    ExpiryRegister reg;
    const auto m = layoutAt(reg, QDate(2025, 3, 15), {"Ghencea"});
    QVERIFY(m);
    QCOMPARE(m->pageCount(), 1);
    QVERIFY(m->pageTexts(0).contains("Ghencea"));
    // A register without a holder anywhere: no page at all.
    HolderRegister empty;
    const int p = empty.addPlace("Bellu", QString(), QString());
    empty.addConcession(p, QDate(1990, 1, 1), 1, 1);
    const auto none = layoutAt(empty, QDate(2025, 3, 15));
    QVERIFY(none);
    QCOMPARE(none->pageCount(), 0);
}

void TestRepConExp::columnsStayInTheirRules() {
    ExpiryRegister reg;
    // A long address wraps inside its column and the row grows.
    const int p = reg.addPlace("Bellu", "1500101123451", "AAAA LUNGU");
    reg.addConcession(p, QDate(1950, 1, 1), 10, 9,
                      {{"Nume_Uzufruct", "AAAA LUNGU"},
                       {"Strada", "Bulevardul Mihail Kogalniceanu"},
                       {"Numarul", "123"},
                       {"Bloc", "B12"},
                       {"Scara", "C"},
                       {"Judet", "Caras-Severin"},
                       {"Telefon_fix", "0255123456"},
                       {"Telefon_mobil", "0722123456"},
                       {"Observatii", "mostenitorii au fost anuntati prin posta"}});
    TRepConExpFrm form;
    ReportRequest request;
    request.date = QDate(2025, 3, 15);
    form.prepare(reg.db, request);
    const double left = form.definition().marginsMm.left();
    const auto m = ReportLayout::run(form.definition(), form.rows());
    QVERIFY(m);
    const std::optional<PlacedText> name = findText(*m, 0, "AAAA LUNGU");
    QVERIFY(name);
    const double rules[] = {0.0, 15.9, 79.4, 101.9, 228.6, 247.1, 262.7, 283.9};
    int wrapped = 0;
    for (const PlacedText& t : placedTexts(*m, 0)) {
        if (t.y < name->y - 0.01 || t.y > name->y + 20)
            continue;
        if (t.text.contains("Caras") || t.text.contains("posta") || t.text.contains("Str "))
            ++wrapped;
        // Inside one column.
        bool inside = false;
        for (int c = 0; c < 7; ++c)
            inside = inside ||
                     (t.x >= left + rules[c] - 0.01 && t.x + t.w <= left + rules[c + 1] + 0.01);
        QVERIFY2(inside, qPrintable(t.text));
    }
    QVERIFY(wrapped >= 2);
    // The next row starts below the grown one.
    const std::optional<PlacedText> next = findText(*m, 0, "BARBU GEO");
    QVERIFY(next);
    QVERIFY(next->y > name->y + 5.8 + 1);
    form.close();
}

void TestRepConExp::menuEntry() {
    const ReportKind k = TRepConExpFrm::kind();
    QCOMPARE(k.name, QStringLiteral("expirate"));
    QCOMPARE(k.caption, QStringLiteral("Concesiuni expirate"));
    QCOMPARE(k.defaultsText,
             QStringLiteral("Parametrii de listare impliciti: Arial, 8, A4, Panorama"));
    QCOMPARE(k.orientation, QPageLayout::Landscape);
    QCOMPARE(k.ask, ReportAsk::Date);
    QCOMPARE(k.defaultDate(), QDate(2026, 3, 15));
    QCOMPARE(k.doneStatus, QStringLiteral(" OK."));
    QVERIFY(findReport("expirate"));
}

void TestRepConExp::endToEndPdf() {
    ExpiryRegister reg;
    const auto m = layoutAt(reg, QDate(2025, 3, 15));
    QVERIFY(m);
    QTemporaryDir out;
    const QString pdf = out.filePath("expirate.pdf");
    QString error;
    QVERIFY2(ReportEngine::writePdf(*m, pdf, &error), qPrintable(error));
    const QString text = pdfText(pdf);
    QVERIFY(text.contains("Situatia concesiunilor expirate"));
    QVERIFY(text.contains("POPESCU I. ION"));
    QVERIFY(text.contains("Cimitirul: Ghencea") || text.contains("Cimitirul:  Ghencea") ||
            (text.contains("Cimitirul:") && text.contains("Ghencea")));
    QVERIFY(text.contains("Pagina  2") || text.contains("Pagina 2"));
}

QTEST_MAIN(TestRepConExp)
#include "tst_repconexp.moc"
