#include "OwnSaveFile.h"
#include "PagePainter.h"
#include "PageRaster.h"
#include "ReportEngine.h"
#include "ReportPreview.h"
#include "TestSupport.h"
#include "Values.h"

#include <QApplication>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QRawFont>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

const QString Footer = QStringLiteral("Pagina  ");

// Rows "R0001".. with a group key and an amount.
VectorRowSource rowsOf(int n, int perGroup = 0, int perOuter = 0) {
    std::vector<QVariantList> rows;
    for (int i = 1; i <= n; ++i) {
        const int g = perGroup ? (i - 1) / perGroup : 0;
        const int o = perOuter ? (i - 1) / perOuter : 0;
        rows.push_back({QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0')),
                        QStringLiteral("G%1").arg(g), QStringLiteral("O%1").arg(o),
                        double(i) + 0.25});
    }
    return VectorRowSource({QStringLiteral("Nume"), QStringLiteral("Grup"), QStringLiteral("Ext"),
                            QStringLiteral("Suma")},
                           std::move(rows));
}

ReportDefinition basic(double detailHeight = 5) {
    ReportDefinition d;
    d.title = QStringLiteral("Proba");
    d.marginsMm = QMarginsF(10, 10, 10, 10);
    Band header;
    header.height = 20;
    header.add(Element::label(10, 2, 100, 8, QStringLiteral("Titlul listei")));
    d.pageHeader = header;
    Band footer;
    footer.height = 10;
    footer.add(Element::pageNumber(150, 2, 40, 5));
    d.pageFooter = footer;
    d.detail.height = detailHeight;
    d.detail.add(Element::data(10, 0, 60, detailHeight, QStringLiteral("Nume")));
    return d;
}

double footerTop(const ReportDefinition& d) {
    return d.paperMm().height() - d.marginsMm.bottom() - d.pageFooter->height;
}

// Where each text lies: page and y.
struct Placed {
    int page;
    double y;
};
QMultiHash<QString, Placed> placements(const PageModel& m) {
    QMultiHash<QString, Placed> out;
    for (int p = 0; p < m.pageCount(); ++p) {
        for (const PageItem& it : m.page(p)) {
            if (it.kind == PageItem::Text || it.kind == PageItem::PageNumberText)
                out.insert(m.itemText(p, it), {p, it.y});
        }
    }
    return out;
}

QStringList allTexts(const PageModel& m) {
    QStringList out;
    for (int p = 0; p < m.pageCount(); ++p)
        out += m.pageTexts(p);
    return out;
}

// Body items never reach into the footer's room.
void checkNothingOverFooter(const PageModel& m, double footerY) {
    for (int p = 0; p < m.pageCount(); ++p) {
        for (const PageItem& it : m.page(p)) {
            const bool isFooter = it.kind == PageItem::PageNumberText;
            if (!isFooter)
                QVERIFY2(it.y + it.h <= footerY + 0.01,
                         qPrintable(QStringLiteral("page %1: %2 ends at %3")
                                        .arg(p + 1)
                                        .arg(m.itemText(p, it))
                                        .arg(it.y + it.h)));
        }
    }
}

// A page with a line in `font` and one in Arial under it.
std::unique_ptr<PageModel> twoFontPage(const QFont& font, const QString& text) {
    ReportDefinition d;
    d.marginsMm = QMarginsF(10, 10, 10, 10);
    d.detail.height = 20;
    d.detail.add(Element::label(0, 0, 190, 10, text)).withFont(font);
    d.detail.add(Element::label(0, 10, 190, 10, QStringLiteral("Arial alături")))
        .withFont(QFont(QStringLiteral("Arial"), 18));
    VectorRowSource rows({QStringLiteral("x")}, {{1}});
    return ReportLayout::run(d, rows);
}

QString runTool(const QString& program, const QStringList& args) {
    QProcess proc;
    proc.start(program, args);
    if (!proc.waitForFinished(60000))
        return {};
    return QString::fromUtf8(proc.readAllStandardOutput());
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void moneyFormat() {
        QCOMPARE(Values::moneyToText(1234.56), QStringLiteral("1.234,56"));
        QCOMPARE(Values::moneyToText(0), QStringLiteral("0,00"));
        QCOMPARE(Values::moneyToText(-1234567.891), QStringLiteral("-1.234.567,89"));
        QCOMPARE(Values::moneyToText(-0.001), QStringLiteral("0,00"));
        QCOMPARE(Values::moneyToText(100), QStringLiteral("100,00"));
        QCOMPARE(Values::moneyToText(999999.5), QStringLiteral("999.999,50"));
    }

    void paginationReservesFooterAndRepeatsHeader() {
        ReportDefinition d = basic();
        auto rows = rowsOf(200);
        auto m = ReportLayout::run(d, rows);
        // 297 - 10 - 10 - 20 (header) - 10 (footer) = 247 mm: 49 rows of 5 mm.
        QCOMPARE(m->pageCount(), 5);
        const auto placed = placements(*m);
        for (int i = 1; i <= 200; ++i) {
            const QString name = QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0'));
            QCOMPARE(placed.count(name), 1);
            QCOMPARE(placed.value(name).page, (i - 1) / 49);
        }
        for (int p = 0; p < m->pageCount(); ++p) {
            const QStringList texts = m->pageTexts(p);
            QCOMPARE(texts.first(), QStringLiteral("Titlul listei"));
            QVERIFY(texts.contains(Footer + QString::number(p + 1)));
        }
        checkNothingOverFooter(*m, footerTop(d));
    }

    void emptyRowsGiveNoPages() {
        ReportDefinition d = basic();
        auto none = rowsOf(0);
        QCOMPARE(ReportLayout::run(d, none)->pageCount(), 0);
        d.printIfEmpty = true;
        auto none2 = rowsOf(0);
        auto m = ReportLayout::run(d, none2);
        QCOMPARE(m->pageCount(), 1);
        QVERIFY(m->pageTexts(0).contains(QStringLiteral("Pagina  1")));
    }

    void landscapePaper() {
        ReportDefinition d = basic();
        d.orientation = QPageLayout::Landscape;
        QCOMPARE(d.paperMm(), QSizeF(297, 210));
        auto rows = rowsOf(100);
        auto m = ReportLayout::run(d, rows);
        QCOMPARE(m->paperMm, QSizeF(297, 210));
        // 210 - 20 - 20 - 10 = 160 mm: 32 rows a page.
        QCOMPARE(m->pageCount(), 4);
    }

    void groupsFootersTotalsAndForcedPages() {
        ReportDefinition d = basic();
        Group g;
        g.key = QStringLiteral("Grup");
        g.header.height = 8;
        g.header.forceNewPage = true;
        g.header.add(Element::data(10, 0, 60, 8, QStringLiteral("Grup")));
        Band f;
        f.height = 6;
        f.add(Element::label(10, 0, 30, 6, QStringLiteral("Total")));
        f.add(Element::total(100, 0, 40, 6, QStringLiteral("Suma"), true));
        g.footer = f;
        d.groups.push_back(g);
        Band summary;
        summary.height = 6;
        summary.add(Element::total(100, 0, 40, 6, QStringLiteral("Suma"), false));
        d.summary = summary;
        auto rows = rowsOf(30, 10);
        auto m = ReportLayout::run(d, rows);
        // One page per group, none blank: the first group does not push a page.
        QCOMPARE(m->pageCount(), 3);
        double grand = 0;
        for (int p = 0; p < 3; ++p) {
            const QStringList t = m->pageTexts(p);
            QCOMPARE(t.at(1), QStringLiteral("G%1").arg(p));
            double sum = 0;
            for (int i = p * 10 + 1; i <= p * 10 + 10; ++i)
                sum += i + 0.25;
            grand += sum;
            const qsizetype at = t.indexOf(QStringLiteral("Total"));
            QVERIFY(at > 0);
            QCOMPARE(t.at(at - 1), QStringLiteral("R%1").arg(p * 10 + 10, 4, 10, QLatin1Char('0')));
            QCOMPARE(t.at(at + 1), Values::moneyToText(sum));
        }
        QVERIFY(m->pageTexts(2).contains(Values::moneyToText(grand)));
    }

    void outerGroupChangeRestartsInner() {
        ReportDefinition d = basic();
        for (const QString& key : {QStringLiteral("Ext"), QStringLiteral("Grup")}) {
            Group g;
            g.key = key;
            g.header.height = 5;
            g.header.add(Element::label(10, 0, 40, 5, QStringLiteral("H") + key)).onPrint =
                [key](QString& t, const PrintContext& c) {
                    t = QStringLiteral("H:") + c.value(key).toString();
                };
            Band f;
            f.height = 5;
            f.add(Element::label(10, 0, 40, 5, QString())).onPrint = [key](QString& t,
                                                                           const PrintContext& c) {
                t = QStringLiteral("F:") + c.value(key).toString();
            };
            g.footer = f;
            d.groups.push_back(g);
        }
        // Inner key G0 spans the change of the outer key O0 -> O1.
        std::vector<QVariantList> r = {
            {QStringLiteral("a"), QStringLiteral("G0"), QStringLiteral("O0"), 1.0},
            {QStringLiteral("b"), QStringLiteral("G0"), QStringLiteral("O1"), 1.0},
            {QStringLiteral("c"), QStringLiteral("G1"), QStringLiteral("O1"), 1.0}};
        VectorRowSource rows({QStringLiteral("Nume"), QStringLiteral("Grup"), QStringLiteral("Ext"),
                              QStringLiteral("Suma")},
                             std::move(r));
        auto m = ReportLayout::run(d, rows);
        QStringList t = allTexts(*m);
        t.removeAll(QStringLiteral("Titlul listei"));
        t.removeAll(QStringLiteral("Pagina  1"));
        const QStringList expected = {"H:O0", "H:G0", "a",    "F:G0", "F:O0", "H:O1", "H:G0",
                                      "b",    "F:G0", "H:G1", "c",    "F:G1", "F:O1"};
        QCOMPARE(t, expected);
    }

    void suppressedDetailsCountNowhere() {
        ReportDefinition d = basic();
        int counter = 0;
        d.detail.beforePrint = [](const PrintContext& c) {
            return int(c.value("Suma").toDouble()) % 2 == 0;
        };
        d.detail.add(Element::label(80, 0, 10, 5, QString())).onPrint =
            [&counter](QString& t, const PrintContext&) {
                t = QStringLiteral("#%1").arg(++counter);
            };
        Band child;
        child.height = 5;
        child.add(Element::label(10, 0, 40, 5, QStringLiteral("copil")));
        d.detail.children.push_back(child);
        Band summary;
        summary.height = 6;
        summary.add(Element::total(100, 0, 40, 6, QStringLiteral("Suma"), false));
        d.summary = summary;
        auto rows = rowsOf(10);
        auto m = ReportLayout::run(d, rows);
        const QStringList t = allTexts(*m);
        QCOMPARE(counter, 5);
        QCOMPARE(t.count(QStringLiteral("copil")), 5);
        QVERIFY(!t.contains(QStringLiteral("R0001")));
        QVERIFY(t.contains(QStringLiteral("R0002")));
        QVERIFY(t.contains(QStringLiteral("#5")) && !t.contains(QStringLiteral("#6")));
        QCOMPARE(t.at(t.indexOf(QStringLiteral("R0002")) + 1), QStringLiteral("#1"));
        QCOMPARE(t.at(t.indexOf(QStringLiteral("R0002")) + 2), QStringLiteral("copil"));
        // 2.25 + 4.25 + ... + 10.25
        QVERIFY(t.contains(Values::moneyToText(2 + 4 + 6 + 8 + 10 + 5 * 0.25)));
    }

    void memoGrowsBandAndPushesBelow() {
        ReportDefinition d = basic();
        d.detail.elements.clear();
        d.detail.height = 12;
        const QString longText = QStringLiteral("cuvant ").repeated(60).trimmed();
        d.detail.add(Element::data(10, 0, 40, 5, QStringLiteral("Nume"))).stretching();
        d.detail.add(Element::label(10, 6, 40, 5, QStringLiteral("dedesubt")));
        d.detail.add(Element::label(100, 0, 40, 5, QStringLiteral("alaturi")));
        d.detail.add(Element::rect(5, 0, 190, 12)).stretchingShape();
        std::vector<QVariantList> r = {{longText}, {QStringLiteral("scurt")}};
        VectorRowSource rows({QStringLiteral("Nume")}, std::move(r));
        auto m = ReportLayout::run(d, rows);
        QCOMPARE(m->pageCount(), 1);
        double memoBottom = 0;
        int memoLines = 0;
        std::vector<double> below, beside;
        const QFont ref = ReportLayout::referenceFont(d.baseFont);
        const QFontMetricsF fm(ref);
        for (const PageItem& it : m->page(0)) {
            const QString s = m->itemText(0, it);
            if (s.startsWith(QStringLiteral("cuvant"))) {
                ++memoLines;
                memoBottom = std::max(memoBottom, double(it.y + it.h));
                QVERIFY(fm.horizontalAdvance(s) <= PageModel::mmToRef(40) + 0.01);
            }
            if (s == QStringLiteral("dedesubt"))
                below.push_back(it.y);
            if (s == QStringLiteral("alaturi"))
                beside.push_back(it.y);
        }
        QVERIFY(memoLines > 5);
        QCOMPARE(below.size(), size_t(2));
        // The label below the memo moved down by the memo's growth, the one
        // beside it stayed; the second row starts below the grown band.
        QVERIFY(below[0] >= memoBottom - 0.01);
        QCOMPARE(beside[0], 30.0f);
        QVERIFY(beside[1] >= below[0] + 5 - 0.01);
        // The rule of the row follows the band.
        const auto rects = [&] {
            std::vector<PageItem> out;
            for (const PageItem& it : m->page(0))
                if (it.kind == PageItem::Rect)
                    out.push_back(it);
            return out;
        }();
        QCOMPARE(rects.size(), size_t(2));
        QVERIFY(rects[0].h > 12 + 1);
        QCOMPARE(rects[1].h, 12.0f);
        QCOMPARE(rects[1].y, rects[0].y + rects[0].h);
    }

    void bandThatDoesNotFitMovesWhole() {
        ReportDefinition d = basic(5);
        d.detail.elements.clear();
        d.detail.add(Element::data(10, 0, 30, 5, QStringLiteral("Nume"))).stretching();
        // Rows of 1 to 12 lines each.
        std::vector<QVariantList> r;
        for (int i = 0; i < 80; ++i) {
            QStringList lines;
            for (int k = 0; k <= i % 12; ++k)
                lines << QStringLiteral("r%1l%2").arg(i).arg(k);
            r.push_back({lines.join('\n')});
        }
        VectorRowSource rows({QStringLiteral("Nume")}, std::move(r));
        auto m = ReportLayout::run(d, rows);
        QVERIFY(m->pageCount() > 2);
        const auto placed = placements(*m);
        for (int i = 0; i < 80; ++i) {
            const int page = placed.value(QStringLiteral("r%1l0").arg(i)).page;
            for (int k = 0; k <= i % 12; ++k) {
                QCOMPARE(placed.count(QStringLiteral("r%1l%2").arg(i).arg(k)), 1);
                QCOMPARE(placed.value(QStringLiteral("r%1l%2").arg(i).arg(k)).page, page);
            }
        }
        for (int p = 0; p < m->pageCount(); ++p)
            QCOMPARE(m->pageTexts(p).first(), QStringLiteral("Titlul listei"));
        checkNothingOverFooter(*m, footerTop(d));
    }

    void textLongerThanPageIsSplit() {
        ReportDefinition d = basic(5);
        d.detail.elements.clear();
        d.detail.add(Element::data(10, 0, 100, 5, QStringLiteral("Nume"))).stretching();
        d.detail.add(Element::rect(5, 0, 190, 5)).stretchingShape();
        QStringList lines;
        for (int k = 0; k < 300; ++k)
            lines << QStringLiteral("linia %1").arg(k);
        std::vector<QVariantList> r = {
            {QStringLiteral("inainte")}, {lines.join('\n')}, {QStringLiteral("dupa")}};
        VectorRowSource rows({QStringLiteral("Nume")}, std::move(r));
        auto m = ReportLayout::run(d, rows);
        QVERIFY(m->pageCount() >= 3);
        const QStringList t = allTexts(*m);
        int last = -1;
        for (int k = 0; k < 300; ++k) {
            QCOMPARE(t.count(QStringLiteral("linia %1").arg(k)), 1);
            const int at = int(t.indexOf(QStringLiteral("linia %1").arg(k)));
            QVERIFY(at > last);
            last = at;
        }
        QVERIFY(t.indexOf(QStringLiteral("dupa")) > last);
        // It starts right after the row before it, on the first page.
        QCOMPARE(placements(*m).value(QStringLiteral("linia 0")).page, 0);
        checkNothingOverFooter(*m, footerTop(d));
    }

    void lineBreaking() {
        const QFont ref = ReportLayout::referenceFont(QFont(QStringLiteral("Arial"), 10));
        const QFontMetricsF fm(ref);
        const double width = PageModel::mmToRef(30);
        const QString text =
            QStringLiteral("Strada Mihai Eminescu nr. 12, bloc A4, scara 2, apartament 45, "
                           "Bucuresti Supercalifragilisticexpialidociouscuvantfoartelung");
        const QStringList lines = ReportLayout::breakLines(text, ref, width);
        QVERIFY(lines.size() > 3);
        for (const QString& l : lines)
            QVERIFY2(fm.horizontalAdvance(l) <= width + 0.01, qPrintable(l));
        QString joined = lines.join(QString());
        joined.remove(QLatin1Char(' '));
        QString original = text;
        original.remove(QLatin1Char(' '));
        QCOMPARE(joined, original);
        QCOMPARE(ReportLayout::breakLines(QStringLiteral("a\n\nb"), ref, width),
                 QStringList({QStringLiteral("a"), QString(), QStringLiteral("b")}));
    }

    void layoutBreaksAsFullMeasuringDoes() {
        // Layout skips measuring texts that surely fit and words that surely
        // fit their line; the lines must be those of measuring every one.
        // Widths sweep across the texts' own widths so that some lines only
        // just fit (or just fail to), with Romanian letters, tabs and a word
        // longer than the column.
        const QStringList texts = {
            QStringLiteral("Str. Mihai Viteazul nr. 12, bl. C4, sc. B, ap. 45, localitatea "
                           "Sanpetru, judetul Brasov"),
            QStringLiteral("Șoseaua Ștefan cel Mare și Sfânt nr. 7, Țăndărei, jud. Ialomița"),
            QStringLiteral("AVAWAVAWAV TTTyyy WWWWWWWWWWWWWWWWWWWWWW iiiii 1234/2024"),
            QStringLiteral("linia unu\n\tlinia doi cu tab\r\nlinia trei"),
            QStringLiteral("14999/2019"),
            // Between the old limits of the two advance tables (U+0250-U+02FF).
            QStringLiteral("ɐ ə ɡ ʃ ʒ ʼ ˈaccent ˌx ʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁʁ ʻokina"),
        };
        const QFont font(QStringLiteral("Arial"), 9);
        const QFont ref = ReportLayout::referenceFont(font);
        std::vector<QVariantList> rows;
        for (const QString& t : texts)
            rows.push_back({t});
        for (double width = 8; width <= 130; width += 1.7) {
            ReportDefinition d;
            d.baseFont = font;
            d.marginsMm = QMarginsF(0, 0, 0, 0);
            d.detail.height = 4;
            d.detail.add(Element::data(0, 0, width, 4, QStringLiteral("T"))).stretching();
            VectorRowSource source({QStringLiteral("T")}, rows);
            auto m = ReportLayout::run(d, source);
            QStringList expected;
            for (const QString& t : texts) {
                for (const QString& l : ReportLayout::breakLines(t, ref, PageModel::mmToRef(width)))
                    if (!l.isEmpty())
                        expected << l;
            }
            QCOMPARE(allTexts(*m), expected);
        }
    }

    void shapedLinesDrawAsPlainText() {
        // PDF and printing draw lines shaped once; the preview draws them
        // one by one. Both must give the same picture.
        ReportDefinition d = basic();
        d.detail.height = 6;
        d.detail.add(Element::data(80, 0, 40, 5, QStringLiteral("Suma"))).aligned(Align::Right);
        d.detail.add(Element::label(125, 0, 40, 5, QStringLiteral("Țară\tșir")))
            .aligned(Align::Center);
        // A soft hyphen inside a line shows nothing.
        d.detail.add(Element::label(170, 0, 30, 5, QStringLiteral("Co\u00ADpil")));
        auto rows = rowsOf(60, 7);
        auto m = ReportLayout::run(d, rows);
        QVERIFY(m->pageCount() >= 2);
        PagePainter::ShapedLines shaped;
        for (int page = 0; page < 2; ++page) {
            QImage plain(420, 594, QImage::Format_RGB32), once(plain.size(), plain.format());
            for (QImage* img : {&plain, &once}) {
                img->fill(Qt::white);
                QPainter p(img);
                PagePainter::paint(p, *m, page, 2.0, 2.0, img == &once ? &shaped : nullptr);
            }
            QCOMPARE(once, plain);
            // And the same as the painter's own single-line text drawing.
            QImage direct(plain.size(), plain.format());
            direct.fill(Qt::white);
            QPainter p(&direct);
            p.setRenderHint(QPainter::Antialiasing, true);
            p.scale(2.0 / PageModel::mmToRef(1.0), 2.0 / PageModel::mmToRef(1.0));
            const double k = PageModel::mmToRef(1.0);
            p.setPen(Qt::black);
            for (const PageItem& it : m->page(page)) {
                if (it.kind != PageItem::Text && it.kind != PageItem::PageNumberText)
                    continue;
                p.setFont(m->font(it.style));
                int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
                flags |= Align(it.align) == Align::Right    ? Qt::AlignRight
                         : Align(it.align) == Align::Center ? Qt::AlignHCenter
                                                            : Qt::AlignLeft;
                p.drawText(QRectF(it.x * k, it.y * k, it.w * k, it.h * k), flags,
                           m->itemText(page, it));
            }
            p.end();
            // Every pixel of the texts drawn directly is inked in the page.
            int differing = 0;
            for (int y = 0; y < plain.height(); ++y)
                for (int x = 0; x < plain.width(); ++x)
                    differing += direct.pixel(x, y) != plain.pixel(x, y) &&
                                 qGray(direct.pixel(x, y)) < 250 && qGray(plain.pixel(x, y)) > 250;
            QCOMPARE(differing, 0);
        }
    }

    void pageNumberInPageHeaderAndGrid() {
        ReportDefinition d = basic();
        Element grid;
        grid.kind = ElementKind::Grid;
        grid.left = 10, grid.top = 0, grid.width = 120, grid.height = 20;
        grid.gridColumns = 4;
        grid.gridRowHeights = {5, 5, 5, 5};
        grid.gridCells = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                          QStringLiteral("D"), QStringLiteral("x")};
        d.detail.height = 20;
        d.detail.elements = {grid};
        auto rows = rowsOf(1);
        auto m = ReportLayout::run(d, rows);
        int lines = 0;
        for (const PageItem& it : m->page(0))
            lines += it.kind == PageItem::Line;
        QCOMPARE(lines, 3 + 3); // inner rules
        QVERIFY(m->pageTexts(0).contains(QStringLiteral("D")) &&
                m->pageTexts(0).contains(QStringLiteral("x")));
    }

    void pdfEndToEnd() {
        QTemporaryDir dir;
        ReportDefinition d = basic();
        Group g;
        g.key = QStringLiteral("Grup");
        g.header.height = 8;
        g.header.add(Element::data(10, 1, 60, 6, QStringLiteral("Grup")));
        g.footer.emplace();
        g.footer->height = 6;
        g.footer->add(Element::label(10, 0, 30, 6, QStringLiteral("Total grup")));
        g.footer->add(Element::total(100, 0, 40, 6, QStringLiteral("Suma"), true));
        d.groups.push_back(g);
        d.detail.add(Element::data(100, 0, 40, 5, QStringLiteral("Suma"))).format =
            [](const QVariant& v) { return Values::moneyToText(v.toDouble()); };
        d.detail.elements.back().align = Align::Right;
        auto rows = rowsOf(1000, 334);
        auto m = ReportLayout::run(d, rows);
        const QString path = dir.filePath(QStringLiteral("raport.pdf"));
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, path, &error), qPrintable(error));
        const QString text = runTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-layout"), path, QStringLiteral("-")});
        const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), m->pageCount());
        for (int i = 1; i <= 1000; ++i)
            QCOMPARE(text.count(QStringLiteral("R%1").arg(i, 4, 10, QLatin1Char('0'))), 1);
        for (int p = 0; p < pages.size(); ++p)
            QVERIFY(pages[p].contains(QStringLiteral("Pagina  %1").arg(p + 1)) ||
                    pages[p].contains(QStringLiteral("Pagina %1").arg(p + 1)));
        const QRegularExpression total(QStringLiteral("Total grup\\s+([0-9.,]+)"));
        QStringList totals;
        for (auto it = total.globalMatch(text); it.hasNext();)
            totals << it.next().captured(1);
        QStringList expected;
        for (int grp = 0; grp < 3; ++grp) {
            double sum = 0;
            for (int i = grp * 334 + 1; i <= std::min(1000, grp * 334 + 334); ++i)
                sum += i + 0.25;
            expected << Values::moneyToText(sum);
        }
        QCOMPARE(totals, expected);
    }

    void pdfPlacesTextsAsTheModelAndEmbedsItsFonts() {
        // Our PDF writer: every script the office may type comes back out of
        // the file, right-aligned texts end where the model says (so the
        // widths in the file are the advances the text was placed with), and
        // every font is in the file.
        QTemporaryDir dir;
        ReportDefinition d;
        d.title = QStringLiteral("Proba „diacritice”");
        d.marginsMm = QMarginsF(10, 10, 10, 10);
        const QStringList texts = {QStringLiteral("Țară șir ăîâ ȘȚ ţş"),
                                   QStringLiteral("Suma 1.234,50 € – „chitanța”"),
                                   QStringLiteral("Ωμέγα Жизнь"), QStringLiteral("ქართული")};
        d.detail.height = 60;
        double y = 0;
        for (const QString& t : texts) {
            d.detail.add(Element::label(10, y, 120, 6, t));
            d.detail.add(Element::label(10, y + 6, 150, 6, t)).aligned(Align::Right);
            y += 12;
        }
        QFont bold(QStringLiteral("Arial"), 14, QFont::Bold);
        d.detail.add(Element::label(10, 50, 120, 8, QStringLiteral("Decizie îngrijită")))
            .withFont(bold);
        VectorRowSource rows({QStringLiteral("x")}, {{1}});
        auto m = ReportLayout::run(d, rows);
        QCOMPARE(m->pageCount(), 1);
        const QString path = dir.filePath(QStringLiteral("s.pdf"));
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, path, &error), qPrintable(error));

        const QString text = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        for (const QString& t : texts)
            QVERIFY2(text.count(t) == 2, qPrintable(t + QStringLiteral(" in:\n") + text));
        QVERIFY(text.contains(QStringLiteral("Decizie îngrijită")));

        const QString fonts = runTool(QStringLiteral("pdffonts"), {path});
        const QStringList lines = fonts.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
        QVERIFY(lines.size() >= 2);
        for (const QString& l : lines)
            QVERIFY2(l.contains(QStringLiteral(" yes yes yes ")), qPrintable(fonts));

        // Word boxes: a right-aligned line ends at its box's right edge.
        const QString html = runTool(QStringLiteral("pdftotext"),
                                     {QStringLiteral("-bbox"), path, QStringLiteral("-")});
        const QRegularExpression word(QStringLiteral(
            "<word xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" xMax=\"([0-9.]+)\"[^>]*>([^<]*)</word>"));
        const double pt = 72.0 / 25.4;
        QHash<QString, QList<std::pair<double, double>>> boxes;
        for (auto it = word.globalMatch(html); it.hasNext();) {
            const auto w = it.next();
            boxes[w.captured(3)] << std::pair(w.captured(1).toDouble(), w.captured(2).toDouble());
        }
        const QList<std::pair<double, double>> first = boxes.value(QStringLiteral("Țară"));
        QCOMPARE(first.size(), 2);
        QVERIFY2(std::abs(first[0].first - 20 * pt) < 0.2,
                 qPrintable(QString::number(first[0].first)));
        const QList<std::pair<double, double>> last = boxes.value(QStringLiteral("ţş"));
        QCOMPARE(last.size(), 2);
        const double rightEdge = (10 + 10 + 150) * pt;
        QVERIFY2(std::abs(last[1].second - rightEdge) < 0.2,
                 qPrintable(QString::number(last[1].second)));
    }

    void pdfOfFontsWithoutTrueTypeOutlines_data() {
        // fonts-urw-base35 has Nimbus Sans as OpenType with CFF outlines from
        // one foundry and as Type 1 from the other.
        QTest::addColumn<QString>("family");
        QTest::addColumn<bool>("cff");
        QTest::newRow("CFF") << QStringLiteral("Nimbus Sans [UKWN]") << true;
        QTest::newRow("Type 1") << QStringLiteral("Nimbus Sans [urw]") << false;
    }

    void pdfOfFontsWithoutTrueTypeOutlines() {
        // CFF outlines are embedded as their OpenType file, cut down like
        // TrueType, and the text copies out; Type 1 outlines, which no font
        // file here can carry, are drawn as shapes. Either way the page shows
        // the glyphs the painter draws, Romanian letters included.
        QFETCH(QString, family);
        QFETCH(bool, cff);
        const QFont font(family, 18);
        const QRawFont raw = QRawFont::fromFont(font);
        if (!raw.familyName().startsWith(QStringLiteral("Nimbus")) ||
            raw.fontTable("CFF ").isEmpty() == cff || (!cff && !raw.fontTable("head").isEmpty()))
            QSKIP("no such font here (fonts-urw-base35)");
        QTemporaryDir dir;
        const QString line = QStringLiteral("Șir în Nimbus: ăâîșț ĂÂÎȘȚ");
        auto m = twoFontPage(font, line);
        const QString path = dir.filePath(QStringLiteral("n.pdf"));
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, path, &error), qPrintable(error));
        const QString text = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
        QVERIFY(text.contains(QStringLiteral("Arial alături")));
        const QString fonts = runTool(QStringLiteral("pdffonts"), {path});
        const QStringList lines = fonts.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(2);
        QCOMPARE(lines.size(), cff ? 2 : 1);
        for (const QString& l : lines)
            QVERIFY2(l.contains(QStringLiteral(" yes yes yes ")), qPrintable(fonts));
        if (cff) {
            QVERIFY2(text.contains(line), qPrintable(text));
            QVERIFY2(fonts.contains(QStringLiteral("NimbusSans-Regular  ")) &&
                         fonts.contains(QStringLiteral("CID Type 0C (OT)")),
                     qPrintable(fonts));
        }
        const QImage fromPdf = renderPdfPage(path, 0, dir.filePath(QStringLiteral("p")));
        const QString differs = sameInk(fromPdf, paintPage(*m, 0, fromPdf.size()));
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    void pdfPageLooksAsThePainterDraws() {
        // Text extraction reads the PDF's text map, not its glyph outlines:
        // a page rendered from the file must show the ink the painter puts
        // on its own raster of the page (every Romanian letter with a
        // diacritic is built from other glyphs in the Liberation fonts).
        ReportDefinition d;
        d.marginsMm = QMarginsF(10, 10, 10, 10);
        d.detail.height = 9;
        d.detail.add(Element::data(0, 0, 190, 9, QStringLiteral("Text")))
            .withFont(QFont(QStringLiteral("Arial"), 18));
        d.detail.add(Element::data(0, 0, 190, 9, QStringLiteral("Serif")))
            .withFont(QFont(QStringLiteral("Times New Roman"), 18));
        std::vector<QVariantList> rows;
        const QString ro = QStringLiteral("ăâîșț ĂÂÎȘȚ şţŞŢ Ștefănescu Țară înhumare");
        for (int i = 0; i < 14; ++i)
            rows.push_back({i % 2 ? ro : QString(), i % 2 ? QString() : ro});
        VectorRowSource source({QStringLiteral("Text"), QStringLiteral("Serif")}, std::move(rows));
        auto m = ReportLayout::run(d, source);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("diacritice.pdf"));
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, pdf, &error), qPrintable(error));
        const QImage fromPdf = renderPdfPage(pdf, 0, dir.filePath(QStringLiteral("pagina")));
        const QString differs = sameInk(fromPdf, paintPage(*m, 0, fromPdf.size()), 20000);
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }

    void cancelledPdfLeavesNothingHalfWritten() {
        QTemporaryDir dir;
        ReportDefinition d = basic();
        auto rows = rowsOf(300);
        auto m = ReportLayout::run(d, rows);
        const QString path = dir.filePath(QStringLiteral("r.pdf"));
        QString error;
        QVERIFY(!ReportEngine::writePdf(*m, path, &error, [](int done, int) { return done < 3; }));
        QVERIFY(error.isEmpty());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
        // An earlier file stays as it was.
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("vechi");
        old.close();
        QVERIFY(!ReportEngine::writePdf(*m, path, &error, [](int, int) { return false; }));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("vechi"));
        // An unwritable place is reported.
        QVERIFY(
            !ReportEngine::writePdf(*m, dir.filePath(QStringLiteral("nu/exista/r.pdf")), &error));
        QVERIFY(error.startsWith(QStringLiteral("Nu pot scrie fisierul")));
    }

    // A write cut off half-way leaves a temporary file named as ours; the
    // next write to the folder removes it, and nothing that is not ours.
    void ourLeftoversAreRemovedAtTheNextWrite() {
        QTemporaryDir dir;
        ReportDefinition d = basic();
        auto rows = rowsOf(30);
        auto m = ReportLayout::run(d, rows);
        const QString path = dir.filePath(QStringLiteral("r.pdf"));
        auto plant = [&](const QString& name, int ageSeconds) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("%PDF-1.4 cut");
            QVERIFY(f.flush());
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                                  QFileDevice::FileModificationTime));
        };
        plant(QStringLiteral("r.pdf.tombrix-Ab12Cd.tmp"), 3600);
        plant(QStringLiteral("alt.pdf.tombrix-Zz99zz.tmp"), 3600);
        plant(QStringLiteral("r.pdf.tombrix-Qq11qq.tmp"), 5);    // a write going on
        plant(QStringLiteral("r.pdf.Ab12Cd"), 3600);             // not ours
        plant(QStringLiteral("x.tombrix-Ab12Cd.tmp.bak"), 3600); // not ours
        QString error;
        QVERIFY2(ReportEngine::writePdf(*m, path, &error), qPrintable(error));
        QStringList left = QDir(dir.path()).entryList(QDir::Files);
        QCOMPARE(left, QStringList({QStringLiteral("r.pdf"), QStringLiteral("r.pdf.Ab12Cd"),
                                    QStringLiteral("r.pdf.tombrix-Qq11qq.tmp"),
                                    QStringLiteral("x.tombrix-Ab12Cd.tmp.bak")}));
        QCOMPARE(QFileInfo(path).permissions() & QFile::ReadOther, QFile::ReadOther);
        // While a write is under way, a temporary file that has a name (the
        // system may give it none) bears ours; cancelled, it is gone.
        bool named = true;
        QVERIFY(!ReportEngine::writePdf(*m, path, &error, [&](int, int) {
            for (const QString& n : QDir(dir.path()).entryList(QDir::Files))
                named = named && (left.contains(n) || OwnSaveFile::isOurs(n));
            return false;
        }));
        QVERIFY(named);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), left);
    }

    void layoutCancel() {
        ReportDefinition d = basic();
        auto rows = rowsOf(5000);
        QVERIFY(!ReportLayout::run(d, rows, [](qint64 done, int) { return done < 1000; }));
    }

    void pageRangeClamps() {
        PageModel m;
        for (int i = 0; i < 5; ++i)
            m.startPage();
        QCOMPARE(ReportEngine::pageRange(m, 0, 0), std::make_pair(1, 5));
        QCOMPARE(ReportEngine::pageRange(m, 2, 9), std::make_pair(2, 5));
        QCOMPARE(ReportEngine::pageRange(m, 4, 0), std::make_pair(4, 5));
    }

    void printingAPageRange() {
        // Printing goes through QPainter on the printer (here one that makes
        // a PDF file): the chosen pages, each once, drawn with the shaped lines.
        QTemporaryDir dir;
        ReportDefinition d = basic();
        auto rows = rowsOf(300);
        auto m = ReportLayout::run(d, rows);
        QVERIFY(m->pageCount() >= 4);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath(QStringLiteral("tiparit.pdf")));
        QString error;
        QVERIFY2(ReportEngine::printPages(*m, printer, 1, 2, 3, &error), qPrintable(error));
        const QString text =
            runTool(QStringLiteral("pdftotext"), {printer.outputFileName(), QStringLiteral("-")});
        const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 2);
        for (int p = 0; p < 2; ++p) {
            for (const QString& t : m->pageTexts(p + 1))
                QVERIFY2(pages[p].contains(t.simplified()), qPrintable(t));
        }
        QVERIFY(!text.contains(m->pageTexts(0).at(1)));
        // A range outside the report prints nothing and says so.
        QVERIFY(!ReportEngine::printPages(*m, printer, 1, 90, 95, &error));
        QCOMPARE(error, QStringLiteral("Intervalul de pagini ales nu contine nicio pagina a "
                                       "raportului."));
    }

    void cancelledPrintSendsNothing() {
        // A printer that writes a file stands for the queue: after a cancel
        // it has received nothing, and an older file there stays as it was.
        QTemporaryDir dir;
        ReportDefinition d = basic();
        auto rows = rowsOf(300);
        auto m = ReportLayout::run(d, rows);
        const QString path = dir.filePath(QStringLiteral("coada.pdf"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("vechi");
        old.close();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        QString error;
        QVERIFY(!ReportEngine::printPages(*m, printer, 1, 0, 0, &error,
                                          [](int done, int) { return done < 2; }));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("vechi"));
        old.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("coada.pdf")});
        QCOMPARE(printer.outputFileName(), path);

        // Run to its end, the whole job arrives.
        QVERIFY2(ReportEngine::printPages(*m, printer, 1, 0, 0, &error), qPrintable(error));
        QCOMPARE(runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")})
                     .split(QLatin1Char('\f'), Qt::SkipEmptyParts)
                     .size(),
                 m->pageCount());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("coada.pdf")});
    }

    void previewPrintsOnTheChosenPrinter() {
        // The printer chosen in the print setup (here one writing a file) is
        // the one "Printeaza" in the preview prints on, with the copies chosen.
        ScriptedPrompts prompts;
        QTemporaryDir dir;
        ReportDefinition d = basic();
        auto rows = rowsOf(60);
        QPrinter chosen(QPrinter::HighResolution);
        chosen.setOutputFormat(QPrinter::PdfFormat);
        chosen.setOutputFileName(dir.filePath(QStringLiteral("aleasa.pdf")));
        OutputOptions o;
        o.preview = true;
        o.printer = &chosen;
        o.copies = 2;
        QPrinter* asked = nullptr;
        int pages = 0;
        QTimer::singleShot(0, [&] {
            auto* preview = qobject_cast<ReportPreview*>(QApplication::activeModalWidget());
            QVERIFY(preview);
            pages = preview->findChild<QSpinBox*>(QStringLiteral("PageBox"))->maximum();
            preview->askPrint = [&](QPrinter& p) {
                asked = &p;
                return true;
            };
            preview->printReport();
            preview->reject();
        });
        QCOMPARE(ReportEngine::output(d, rows, o), OutputResult::Done);
        QCOMPARE(asked, &chosen);
        QVERIFY(prompts.shown().isEmpty());
        const QString text =
            runTool(QStringLiteral("pdftotext"), {chosen.outputFileName(), QStringLiteral("-")});
        QVERIFY(pages >= 2);
        QCOMPARE(text.split(QLatin1Char('\f'), Qt::SkipEmptyParts).size(), 2 * pages);
    }

    void previewPaintsOnDemandAndPagesByKeyboard() {
        ReportDefinition d = basic();
        auto rows = rowsOf(49 * 100);
        auto m = ReportLayout::run(d, rows);
        QCOMPARE(m->pageCount(), 100);
        ReportPreview preview(*m);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        PreviewArea* area = preview.area();
        area->setFocus();
        QCoreApplication::processEvents();
        QVERIFY(area->paintedPages() >= 1);
        QVERIFY(area->paintedPages() <= 4);
        QTest::keyClick(area, Qt::Key_PageDown);
        QTest::keyClick(area, Qt::Key_PageDown);
        QCOMPARE(area->currentPage(), 2);
        QTest::keyClick(area, Qt::Key_End);
        QCOMPARE(area->currentPage(), 99);
        auto* box = preview.findChild<QSpinBox*>(QStringLiteral("PageBox"));
        QCOMPARE(box->value(), 100);
        QTest::keyClick(area, Qt::Key_PageUp);
        QCOMPARE(area->currentPage(), 98);
        QTest::keyClick(area, Qt::Key_Home);
        QCOMPARE(area->currentPage(), 0);
        QCoreApplication::processEvents();
        QVERIFY(area->paintedPages() < 20);
        const double zoom = area->pxPerMm();
        QTest::keyClick(area, Qt::Key_Plus);
        QVERIFY(area->pxPerMm() > zoom);

        // "Salveaza PDF" proposes the documents folder first (the program's
        // own is often not writable), then the folder used last.
        QTemporaryDir dir;
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        if (!documents.isEmpty())
            QCOMPARE(QFileInfo(preview.pdfProposal()).absolutePath(),
                     QFileInfo(documents).absoluteFilePath());
        QCOMPARE(QFileInfo(preview.pdfProposal()).fileName(), QStringLiteral("Proba.pdf"));
        const QString path = dir.filePath(QStringLiteral("din_previzualizare"));
        preview.askPdfPath = [&] { return path; };
        preview.savePdf();
        QVERIFY(QFile::exists(path + QStringLiteral(".pdf")));
        QCOMPARE(QFileInfo(ReportPreview(*m).pdfProposal()).absolutePath(),
                 QFileInfo(dir.path()).absoluteFilePath());
        QTest::keyClick(area, Qt::Key_Escape);
        QVERIFY(!preview.isVisible());
    }

    void printingWithoutPrinterOffersPreview() {
        if (ReportEngine::hasPrinter())
            QSKIP("a printer is installed here");
        ScriptedPrompts prompts;
        prompts.queueAnswer(PromptAnswer::No);
        ReportDefinition d = basic();
        auto rows = rowsOf(10);
        OutputOptions o;
        o.preview = false;
        QCOMPARE(ReportEngine::output(d, rows, o), OutputResult::Cancelled);
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(prompts.shown().first().text.startsWith(
            QStringLiteral("Nu este instalata nicio imprimanta.")));
    }

    void outputAppliesOptions() {
        ReportDefinition d = basic();
        OutputOptions o;
        o.title = QStringLiteral("Restantieri");
        o.orientation = QPageLayout::Landscape;
        o.marginsMm = QMarginsF(5, 6, 7, 8);
        o.baseFont = QFont(QStringLiteral("Times New Roman"), 10);
        ReportEngine::apply(d, o);
        QCOMPARE(d.paperMm(), QSizeF(297, 210));
        QCOMPARE(d.marginsMm, QMarginsF(5, 6, 7, 8));
        QCOMPARE(d.title, QStringLiteral("Restantieri"));
        auto rows = rowsOf(1);
        auto m = ReportLayout::run(d, rows);
        for (const PageItem& it : m->page(0)) {
            if (m->itemText(0, it) == QStringLiteral("R0001")) {
                QCOMPARE(m->font(it.style).family(), QStringLiteral("Times New Roman"));
                QCOMPARE(it.x, 15.0f); // the left margin plus the element's place
                QCOMPARE(it.y, float(6 + 20));
            }
        }
    }
};

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
