// The list of unoccupied places: which places it lists, in what order and
// numbering, how it breaks pages, where its texts lie, the bound cemetery
// selection, and once end to end to a PDF.
#include "Query.h"
#include "RepLocuriNeocupateUnt.h"
#include "ReportEngine.h"
#include "ReportFixture.h"
#include "Values.h"

#include <QTemporaryDir>

namespace {

const QDate Today(2024, 5, 10);
const QString Heading = QStringLiteral("Nr. crt.|Sectorul|Parcela|Randul|Locul|Observatii");
const QString Title = QStringLiteral("Lista locurilor ramase neocupate ");

// Lays the report out as the run does, with 5 mm margins.
std::unique_ptr<PageModel> layOut(TestRegister& reg, const QStringList& cemeteries = {}) {
    TRepLocuriNeocupateFrm form;
    ReportRequest request;
    request.programDir = reg.dir.path();
    request.cemeteries = cemeteries;
    form.prepare(reg.db, request);
    OutputOptions o;
    o.marginsMm = QMarginsF(5, 5, 5, 5);
    ReportEngine::apply(form.definition(), o);
    auto model = ReportLayout::run(form.definition(), form.rows());
    form.close();
    return model;
}

// The detail lines of a page: "counter|sector|parcel|row|place".
QStringList detailLines(const QStringList& page) {
    QStringList out;
    for (const QString& l : page)
        if (l.count(QLatin1Char('|')) == 4 && l != Heading)
            out << l;
    return out;
}

} // namespace

class TestRepLocuriNeocupate : public QObject {
    Q_OBJECT

private slots:
    void init() { m_today = std::make_unique<FixedToday>(Today); }
    void cleanup() { m_today.reset(); }

    void placesWithAnyHolderPartAreOccupied();
    void duplicatePlacesListedOnce();
    void numberingAndPages();
    void placesInTextOrder();
    void noUnoccupiedPlaceGivesNoPages();
    void positionsAndFonts();
    void selectedCemeteriesAreBoundNotSpliced();
    void endToEndPdf();

private:
    std::unique_ptr<FixedToday> m_today;
};

void TestRepLocuriNeocupate::placesWithAnyHolderPartAreOccupied() {
    TestRegister reg;
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("S1"), QStringLiteral("1"));
    reg.addPlace({QStringLiteral("Bellu"), QStringLiteral("S1"), QStringLiteral("1"),
                  QStringLiteral("1"), QStringLiteral("2"), QVariant(),
                  QStringLiteral("POPESCU ION")});
    reg.addPlace({QStringLiteral("Bellu"), QStringLiteral("S1"), QStringLiteral("1"),
                  QStringLiteral("1"), QStringLiteral("3"), QStringLiteral("1800101221144"),
                  QVariant()});
    const auto model = layOut(reg);
    QCOMPARE(model->pageCount(), 1);
    QCOMPARE(detailLines(linesOf(*model).at(0)), QStringList{QStringLiteral("1|S1|1|1|1")});
}

void TestRepLocuriNeocupate::duplicatePlacesListedOnce() {
    TestRegister reg;
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("S1"), QStringLiteral("7"));
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("S1"), QStringLiteral("7"));
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("S2"), QStringLiteral("7"));
    const auto model = layOut(reg);
    QCOMPARE(detailLines(linesOf(*model).at(0)),
             (QStringList{QStringLiteral("1|S1|1|1|7"), QStringLiteral("2|S2|1|1|7")}));
}

void TestRepLocuriNeocupate::numberingAndPages() {
    TestRegister reg;
    for (int i = 0; i < 60; ++i)
        reg.addFree(QStringLiteral("A"), QStringLiteral("S%1").arg(i / 10),
                    QString::number(i % 10));
    for (int i = 0; i < 3; ++i)
        reg.addFree(QStringLiteral("B"), QStringLiteral("S1"), QString::number(i));
    const auto model = layOut(reg);
    const QList<QStringList> pages = linesOf(*model);
    QCOMPARE(pages.size(), 3); // A over two pages, B on its own

    const QString titleLine = Title;
    const QString dateLine = QStringLiteral("la data :|") + Values::dateToText(Today);
    // First page: title, cemetery, headings, numbers from 1.
    QCOMPARE(pages[0].mid(0, 4),
             (QStringList{titleLine, dateLine, QStringLiteral("Cimitirul: |A"), Heading}));
    const QStringList first = detailLines(pages[0]);
    QVERIFY(first.size() > 30 && first.size() < 60);
    QVERIFY(first.first().startsWith(QStringLiteral("1|S0|")));
    // The next page repeats the title, not the cemetery heading, and keeps counting.
    QCOMPARE(pages[1].mid(0, 2), (QStringList{titleLine, dateLine}));
    QVERIFY(!pages[1].contains(Heading));
    QVERIFY(!pages[1].contains(QStringLiteral("Cimitirul: |A")));
    const QStringList second = detailLines(pages[1]);
    QCOMPARE(first.size() + second.size(), 60);
    QVERIFY(second.first().startsWith(QString::number(first.size() + 1) + QLatin1Char('|')));
    QVERIFY(second.last().startsWith(QStringLiteral("60|S5|")));
    // A new cemetery: a new page, numbered from 1 again.
    QCOMPARE(pages[2].mid(0, 4),
             (QStringList{titleLine, dateLine, QStringLiteral("Cimitirul: |B"), Heading}));
    QCOMPARE(detailLines(pages[2]),
             (QStringList{QStringLiteral("1|S1|1|1|0"), QStringLiteral("2|S1|1|1|1"),
                          QStringLiteral("3|S1|1|1|2")}));
    for (int p = 0; p < 3; ++p)
        QCOMPARE(pages[p].last(),
                 QStringLiteral("Pagina  %1|%2").arg(p + 1).arg(Values::dateToText(Today)));
}

void TestRepLocuriNeocupate::placesInTextOrder() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("9"));
    reg.addFree(QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("10"));
    reg.addFree(QStringLiteral("A"), QStringLiteral("10"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("A"), QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("1"),
                QStringLiteral("B"));
    const auto model = layOut(reg);
    QCOMPARE(detailLines(linesOf(*model).at(0)),
             (QStringList{QStringLiteral("1|10|1|1|1"), QStringLiteral("2|2|1|1|10"),
                          QStringLiteral("3|2|1|1|9"), QStringLiteral("4|2|1|B|1")}));
}

void TestRepLocuriNeocupate::noUnoccupiedPlaceGivesNoPages() {
    TestRegister reg;
    reg.addPlace({QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"),
                  QStringLiteral("1"), QStringLiteral("1"), QVariant(), QStringLiteral("IONESCU")});
    QCOMPARE(layOut(reg)->pageCount(), 0);
    reg.addFree(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
    QCOMPARE(layOut(reg, {QStringLiteral("A")})->pageCount(), 0);
}

void TestRepLocuriNeocupate::positionsAndFonts() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("S1"), QStringLiteral("1"));
    const auto model = layOut(reg);
    const double margin = 5;
    auto at = [&](const QString& text) {
        const PageItem* it = findText(*model, 0, text);
        if (!it)
            qFatal("no text %s", qPrintable(text));
        return it;
    };
    QCOMPARE(qRound(at(Title)->x * 10), qRound((margin + 60.3) * 10));
    QCOMPARE(model->font(at(Title)->style).pixelSize(),
             ReportLayout::referenceFont(QFont(QStringLiteral("Arial"), 16)).pixelSize());
    QCOMPARE(qRound(at(QStringLiteral("la data :"))->x * 10), qRound((margin + 83.6) * 10));
    QCOMPARE(qRound(at(QStringLiteral("Cimitirul: "))->x * 10), qRound((margin + 8.7) * 10));
    QVERIFY(model->font(at(QStringLiteral("Cimitirul: "))->style).bold());
    QCOMPARE(qRound(at(QStringLiteral("Observatii"))->x * 10), qRound((margin + 141.6) * 10));
    // The counter has its own 10 pt font; the data cells follow the base font.
    const PageItem* counter = at(QStringLiteral("1"));
    const PageItem* sector = at(QStringLiteral("S1"));
    QCOMPARE(model->font(counter->style).pixelSize(),
             ReportLayout::referenceFont(QFont(QStringLiteral("Arial"), 10)).pixelSize());
    QCOMPARE(model->font(sector->style).pixelSize(),
             ReportLayout::referenceFont(QFont(QStringLiteral("Arial"), 8)).pixelSize());
    QCOMPARE(counter->align, quint8(Align::Center));
    // The page number ends at 96.3 mm.
    const PageItem* page = at(QStringLiteral("Pagina  1"));
    QCOMPARE(page->align, quint8(Align::Right));
    QCOMPARE(qRound((page->x + page->w) * 10), qRound((margin + 96.3) * 10));
    // The table's box spans 6.3 to 191.5 mm.
    bool box = false;
    for (const PageItem& it : model->page(0))
        box =
            box || (it.kind == PageItem::Rect && qRound(it.x * 10) == qRound((margin + 6.3) * 10) &&
                    qRound(it.w * 10) == qRound((191.5 - 6.3) * 10));
    QVERIFY(box);
}

void TestRepLocuriNeocupate::selectedCemeteriesAreBoundNotSpliced() {
    TestRegister reg;
    const QString maria = QStringLiteral("Sf. \"Maria\"");
    const QString crafted = QStringLiteral("x\")) OR 1=1 --");
    const QString quote = QStringLiteral("O'Neil");
    reg.addFree(maria, QStringLiteral("M"), QStringLiteral("1"));
    reg.addFree(crafted, QStringLiteral("X"), QStringLiteral("1"));
    reg.addFree(quote, QStringLiteral("Q"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("B"), QStringLiteral("1"));
    reg.addFree(QString(), QStringLiteral("E"), QStringLiteral("1"));

    auto sectors = [&](const QStringList& chosen) {
        QStringList out;
        for (const QStringList& page : linesOf(*layOut(reg, chosen)))
            for (const QString& l : detailLines(page))
                out << l.section(QLatin1Char('|'), 1, 1);
        return out;
    };
    QCOMPARE(sectors({maria}), QStringList{QStringLiteral("M")});
    QCOMPARE(sectors({crafted}), QStringList{QStringLiteral("X")});
    QCOMPARE(sectors({quote}), QStringList{QStringLiteral("Q")});
    QCOMPARE(sectors({maria, QStringLiteral("Bellu")}),
             (QStringList{QStringLiteral("B"), QStringLiteral("M")}));
    // The blank item: the places without a cemetery.
    QCOMPARE(sectors({QString()}), QStringList{QStringLiteral("E")});
    // No selection: every cemetery, the one without a name first.
    QCOMPARE(sectors({}).size(), 5);

    // The chosen names never reach the SQL text.
    TRepLocuriNeocupateFrm form;
    ReportRequest request;
    request.cemeteries = {crafted, QString()};
    form.prepare(reg.db, request);
    const QString line = form.Q()->sql().at(TRepLocuriNeocupateFrm::FilterLine);
    QVERIFY(line.startsWith(QStringLiteral("AND (Cimitir IN (")));
    QVERIFY(!line.contains(QStringLiteral("OR 1=1")));
    QCOMPARE(form.Q()->recordCount(), 2);
    form.close();
    QVERIFY(!form.Q()->isActive());
}

void TestRepLocuriNeocupate::endToEndPdf() {
    TestRegister reg;
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("S2"), QStringLiteral("9"));
    reg.addFree(QStringLiteral("Bellu"), QStringLiteral("S2"), QStringLiteral("10"));
    reg.addPlace({QStringLiteral("Bellu"), QStringLiteral("S2"), QStringLiteral("1"),
                  QStringLiteral("1"), QStringLiteral("11"), QVariant(), QStringLiteral("POP")});
    reg.addFree(QStringLiteral("Ghencea"), QStringLiteral("S1"), QStringLiteral("4"));
    const auto model = layOut(reg);
    QCOMPARE(model->pageCount(), 2);
    const QString path = reg.dir.file(QStringLiteral("neocupate.pdf"));
    QString error;
    QVERIFY2(ReportEngine::writePdf(*model, path, &error), qPrintable(error));
    const QString text = pdfText(path);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 2);
    const QRegularExpression row1(QStringLiteral("1\\s+S2\\s+1\\s+1\\s+10\\s"));
    const QRegularExpression row2(QStringLiteral("2\\s+S2\\s+1\\s+1\\s+9\\s"));
    QVERIFY2(pages[0].contains(QStringLiteral("Lista locurilor ramase neocupate")),
             qPrintable(text));
    QVERIFY(pages[0].contains(QRegularExpression(QStringLiteral("Cimitirul:\\s+Bellu"))));
    QVERIFY(pages[0].contains(QStringLiteral("Nr. crt.")));
    QVERIFY(pages[0].contains(QStringLiteral("Observatii")));
    QVERIFY2(pages[0].contains(row1) && pages[0].contains(row2), qPrintable(pages[0]));
    QVERIFY(pages[0].indexOf(row1) < pages[0].indexOf(row2));
    QVERIFY(!pages[0].contains(QStringLiteral(" 11 ")));
    QVERIFY(pages[0].contains(QStringLiteral("Pagina  1")) ||
            pages[0].contains(QStringLiteral("Pagina 1")));
    QVERIFY(pages[1].contains(QRegularExpression(QStringLiteral("Cimitirul:\\s+Ghencea"))));
    QVERIFY(pages[1].contains(QRegularExpression(QStringLiteral("1\\s+S1\\s+1\\s+1\\s+4\\s"))));
}

QTEST_MAIN(TestRepLocuriNeocupate)
#include "tst_replocurineocupate.moc"
