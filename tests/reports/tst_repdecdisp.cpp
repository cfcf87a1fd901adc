#include "Clock.h"
#include "DecDispUnt.h"
#include "HolderRegister.h"
#include "PageRaster.h"
#include "RepDecDisp.h"
#include "ReportEngine.h"
#include "ReportLayout.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// The tax cases, all in "Bellu"; the reference date 31.12.2025.
struct TaxRegister : HolderRegister {
    TaxRegister() {
        // Paid to the date: no decision.
        const int paid = addPlace("Bellu", "1800101123456", "ALBU ANA");
        addConcession(paid, QDate(2001, 1, 1), 50, 1, {{"Nume_Uzufruct", "ALBU ANA"}});
        addReceipt(paid, "Taxa anuala", QDate(2024, 12, 31));
        addReceipt(paid, "Taxa anuala", QDate(2025, 12, 31));
        // Paid to the day before: a decision, with the latest concession's
        // identity and address and the place's code.
        const int late = addPlace("Bellu", "2800101123457", "BARBU ELENA");
        addConcession(late, QDate(1995, 5, 5), 50, 2,
                      {{"Nume_Uzufruct", "BARBU VECHE"}, {"Strada", "Veche"}});
        addConcession(late, QDate(2015, 5, 5), 50, 3,
                      {{"Nume_Uzufruct", "BARBU ELENA"},
                       {"CNP_Uzufruct", "2999999999999"},
                       {"Seria_buletin", "RX"},
                       {"Nr_buletin", 123456.0},
                       {"Judet", "Ilfov"},
                       {"Localitatea", "Voluntari"},
                       {"Strada", "Florilor"},
                       {"Numarul", "7"},
                       {"Bloc", "A2"},
                       {"Scara", "B"},
                       {"Etaj", 3.0},
                       {"Apartament", 14.0}});
        addReceipt(late, "Taxa anuala", QDate(2025, 12, 30));
        // No annual receipt at all: a decision; other receipts do not count.
        const int none = addPlace("Bellu", "1700101123458", "CIOBANU ION");
        addConcession(none, QDate(2001, 1, 1), 50, 4, {{"Nume_Uzufruct", "CIOBANU ION"}});
        addReceipt(none, "Concesiune", QDate(2030, 12, 31));
        // No holder on the place: no decision.
        const int empty = addPlace("Bellu", QString(), QString());
        addConcession(empty, QDate(2001, 1, 1), 50, 5, {{"Nume_Uzufruct", "FARA TITULAR"}});
    }
};

struct Laid {
    std::unique_ptr<PageModel> model;
    double margin = 0;
};

// `sharedForm` off lays the decisions out as they were before the form
// was shared: every page with the whole form of its own.
Laid layoutAt(HolderRegister& reg, const QDate& date, bool sharedForm = true) {
    TRepDecDispFrm form;
    ReportRequest request;
    request.programDir = reg.dir.path();
    request.date = date;
    form.prepare(reg.db, request);
    form.definition().sharedForm = sharedForm;
    Laid out{ReportLayout::run(form.definition(), form.rows()), form.definition().marginsMm.left()};
    form.close();
    return out;
}

// The page that shows `text`; -1 when none does.
int pageWith(const PageModel& m, const QString& text) {
    for (int p = 0; p < m.pageCount(); ++p) {
        if (m.pageTexts(p).contains(text))
            return p;
    }
    return -1;
}

} // namespace

class TestRepDecDisp : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Clock::setToday(QDate(2026, 3, 15)); }
    void cleanupTestCase() { Clock::setToday(QDate()); }
    void menuEntry();
    void whoGetsADecision();
    void holderFromTheLatestConcession();
    void dataOnTheirBlanks();
    void taxTableYears();
    void textsFromTheFiles();
    void onePagePerDecisionNothingOverlaps();
    void endToEndPdf();
    void theFormIsDrawnOnceAndLooksAsBefore();
};

void TestRepDecDisp::menuEntry() {
    const ReportKind k = TRepDecDispFrm::kind();
    QCOMPARE(k.name, QStringLiteral("decizii"));
    QCOMPARE(k.caption, QStringLiteral("Decizii de impunere"));
    QCOMPARE(k.defaultsText,
             QStringLiteral("Parametrii de listare impliciti: Times New Roman, 10, A4, Portret"));
    QCOMPARE(k.fontName, QStringLiteral("Times New Roman"));
    QCOMPARE(k.fontSize, 10);
    QCOMPARE(k.orientation, QPageLayout::Portrait);
    QCOMPARE(k.ask, ReportAsk::Date);
    // Today 15.03.2026: the end of the previous year.
    QCOMPARE(k.defaultDate(), QDate(2025, 12, 31));
    QVERIFY(bool(k.askBeforeRun));
    QCOMPARE(k.cancelledStatus, QString());
    QCOMPARE(k.doneStatus, QStringLiteral("OK."));
    QVERIFY(k.doneAfterFailure);
    QVERIFY(findReport("decizii"));
}

void TestRepDecDisp::whoGetsADecision() {
    TaxRegister reg;
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    QVERIFY(l.model);
    QCOMPARE(l.model->pageCount(), 2);
    QCOMPARE(pageWith(*l.model, "BARBU ELENA"), 0);
    QCOMPARE(pageWith(*l.model, "CIOBANU ION"), 1);
    QCOMPARE(pageWith(*l.model, "ALBU ANA"), -1);
    QCOMPARE(pageWith(*l.model, "FARA TITULAR"), -1);
    // A day later the paid place is due as well.
    const Laid later = layoutAt(reg, QDate(2026, 1, 1));
    QCOMPARE(later.model->pageCount(), 3);
    QCOMPARE(pageWith(*later.model, "ALBU ANA"), 0);
}

void TestRepDecDisp::holderFromTheLatestConcession() {
    TaxRegister reg;
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    const QStringList page = l.model->pageTexts(0);
    for (const char* t : {"BARBU ELENA", "RX", "123456", "Ilfov", "Voluntari", "Florilor", "7",
                          "A2", "B", "3", "14"})
        QVERIFY2(page.contains(QLatin1String(t)), t);
    // The place's code, not the concession's; nothing of the older one.
    QVERIFY(page.contains("2800101123457"));
    QVERIFY(!page.contains("2999999999999"));
    QVERIFY(!page.contains("BARBU VECHE") && !page.contains("Veche"));
}

void TestRepDecDisp::dataOnTheirBlanks() {
    TaxRegister reg;
    // A second decision whose data are as long as their fields allow.
    const int longer = reg.addPlace("Bellu", "1700101123459", "LUNG");
    const QString name = QStringLiteral("Constantinescu-Georgescu Maria Magdalena Alexandra");
    const QString town = QStringLiteral("Drobeta-Turnu Severin Mehedinti");
    reg.addConcession(longer, QDate(2001, 1, 1), 50, 6,
                      {{"Nume_Uzufruct", name}, {"Localitatea", town}, {"Judet", "Caras-Severin"}});
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    const int second = pageWith(*l.model, name);
    QVERIFY(second > 0);
    const QStringList form = TRepDecDispFrm::formText().split('\n');
    const QFontMetricsF fm(ReportLayout::referenceFont(TRepDecDispFrm::formFont()));
    const auto mm = [](const QFontMetricsF& m, const QString& s) {
        return PageModel::refToMm(m.horizontalAdvance(s));
    };
    const double lineMm = PageModel::refToMm(fm.lineSpacing());
    const auto itemOf = [&l](int page, const QString& text) -> const PageItem* {
        for (const PageItem& it : l.model->page(page))
            if (it.kind == PageItem::Text && l.model->itemText(page, it) == text)
                return &it;
        return nullptr;
    };
    // Each datum, its page, its form line and the words before its blank.
    const struct {
        QString value;
        int page, line;
        const char* before;
    } cases[] = {
        {"BARBU ELENA", 0, 0, "Dlui/Dnei "},
        {"RX", 0, 0, "seria "},
        {"123456", 0, 2, "nr. "},
        {"2800101123457", 0, 2, "CIF/CNP"},
        {"Ilfov", 0, 2, "Judetul "},
        {"Voluntari", 0, 4, "comuna "},
        {"Florilor", 0, 6, "strada"},
        {"7", 0, 6, ", nr"},
        {"A2", 0, 6, ", bl."},
        {"B", 0, 6, "sc. "},
        {"3", 0, 6, "et. "},
        {"14", 0, 6, "ap. "},
        {name, second, 0, "Dlui/Dnei "},
        {town, second, 4, "comuna "},
        {"Caras-Severin", second, 2, "Judetul "},
    };
    for (const auto& c : cases) {
        const QByteArray name8 = c.value.toUtf8();
        const char* what = name8.constData();
        const PageItem* datum = itemOf(c.page, c.value);
        const PageItem* line = itemOf(c.page, form.at(c.line));
        QVERIFY2(datum && line, what);
        // The blank: the underscores after the words, as the line is drawn.
        const QString text = form.at(c.line);
        qsizetype start = text.indexOf(QLatin1String(c.before)) + qstrlen(c.before);
        while (text.at(start) == ' ')
            ++start;
        qsizetype end = start;
        while (end < text.size() && text.at(end) == '_')
            ++end;
        QVERIFY2(end > start, c.before);
        const double blankLeft = line->x + mm(fm, text.left(start));
        const double blankRight = line->x + mm(fm, text.left(end));
        // The datum's ink, centred in its box in the font it is drawn with,
        // stays within the blank: it runs into none of the words around it.
        const QFontMetricsF dm(l.model->font(datum->style));
        const double middle = datum->x + datum->w / 2.0;
        const double half = mm(dm, c.value) / 2.0;
        QVERIFY2(middle - half >= blankLeft - 0.01 && middle + half <= blankRight + 0.01, what);
        // On its line, its baseline a little above the words', so the
        // underscores pass under it and not through it.
        const double datumBase = datum->y + PageModel::refToMm(dm.ascent());
        const double lineBase = line->y + PageModel::refToMm(fm.ascent());
        QVERIFY2(datumBase < lineBase - 0.5 && datumBase > lineBase - lineMm / 2.0, what);
    }
    // Printed once, whatever size it takes.
    QCOMPARE(l.model->pageTexts(second).count(name), 1);
    QCOMPARE(l.model->pageTexts(0).count("BARBU ELENA"), 1);
}

void TestRepDecDisp::taxTableYears() {
    TaxRegister reg;
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    const QStringList page = l.model->pageTexts(0);
    for (int i = 1; i <= 6; ++i)
        QVERIFY(page.contains(QStringLiteral("%1.     %2").arg(i).arg(2019 + i)));
    for (const char* t : {"Categorie impozit / taxa", "Suma (lei)", "Termen de plata", "Cont IBAN",
                          "7. Penalitati", "Taxa"})
        QVERIFY2(page.contains(QLatin1String(t)), t);
    QVERIFY(page.contains("la data de:"));
    QVERIFY(page.contains(Values::dateToText(QDate(2025, 12, 31))));
    // The rows in order, one under the other.
    const auto first = findText(*l.model, 0, "1.     2020");
    const auto sixth = findText(*l.model, 0, "6.     2025");
    const auto tax = findText(*l.model, 0, "Taxa");
    QVERIFY(first && sixth && tax);
    QVERIFY(first->y < sixth->y && sixth->y < tax->y);
}

void TestRepDecDisp::textsFromTheFiles() {
    TaxRegister reg;
    // A missing file prints its default; a written one its own text.
    QVERIFY(DecDispTexts::save(reg.dir.path(), DecDispTexts::Antet,
                               QStringLiteral("PRIMARIA SANPETRU\nJUDETUL BRASOV")));
    QVERIFY(DecDispTexts::save(reg.dir.path(), DecDispTexts::Completari, QString()));
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    for (int p = 0; p < l.model->pageCount(); ++p) {
        const QStringList page = l.model->pageTexts(p);
        QCOMPARE(page.value(0), QStringLiteral("PRIMARIA SANPETRU"));
        QCOMPARE(page.value(1), QStringLiteral("JUDETUL BRASOV"));
        QVERIFY(!page.contains("ROMANIA"));
        QVERIFY(page.contains("Motive de fapt__________________________________________________"
                              "__________"));
        QVERIFY(!page.contains("Alte mentiuni ale organului fiscal:"));
        QVERIFY(page.contains("Am primit un exemplar al deciziei de impunere."));
        QVERIFY(page.contains("Data ______________"));
    }
}

void TestRepDecDisp::onePagePerDecisionNothingOverlaps() {
    TaxRegister reg;
    // Five more decisions, with the default texts.
    for (int i = 0; i < 5; ++i) {
        const int p = reg.addPlace("Ghencea", QString(), QStringLiteral("NUME %1").arg(i));
        reg.addConcession(p, QDate(2001, 1, 1), 50, 10 + i,
                          {{"Nume_Uzufruct", QStringLiteral("NUME %1").arg(i)}});
    }
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    QCOMPARE(l.model->pageCount(), 7);
    const QSizeF paper = l.model->paperMm;
    for (int p = 0; p < l.model->pageCount(); ++p) {
        // Everything on the paper, between the margins.
        for (const PageItem& it : l.model->page(p)) {
            QVERIFY(it.y >= l.margin - 0.01);
            QVERIFY(it.y + it.h <= paper.height() - l.margin + 0.01);
        }
        // The sections follow one another down the page.
        const QStringList order = {
            "ROMANIA",
            "la data de:",
            "comunei/orasului/municipiului/sectorului__________________________.",
            "Categorie impozit / taxa",
            "7. Penalitati",
            "calitate de ______________",
            "Am primit un exemplar al deciziei de impunere.",
        };
        double last = -1;
        for (const QString& t : order) {
            const auto placed = findText(*l.model, p, t);
            QVERIFY2(placed, qPrintable(t));
            QVERIFY2(placed->y > last, qPrintable(t));
            last = placed->y + placed->h - 0.01;
        }
        // No two lines of the fixed texts share a place: only the data go
        // over the form text's blanks.
        const QList<PlacedText> texts = placedTexts(*l.model, p);
        const QStringList form = TRepDecDispFrm::formText().split('\n');
        for (qsizetype i = 0; i < texts.size(); ++i) {
            for (qsizetype j = i + 1; j < texts.size(); ++j) {
                const PlacedText &a = texts[i], &b = texts[j];
                const bool overlap = a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h - 0.05 &&
                                     b.y < a.y + a.h - 0.05;
                if (!overlap)
                    continue;
                const bool formAndData = form.contains(a.text) != form.contains(b.text);
                QVERIFY2(formAndData, qPrintable(a.text + " / " + b.text));
            }
        }
    }
}

void TestRepDecDisp::endToEndPdf() {
    TaxRegister reg;
    const Laid l = layoutAt(reg, QDate(2025, 12, 31));
    QTemporaryDir out;
    const QString pdf = out.filePath("decizii.pdf");
    QString error;
    QVERIFY2(ReportEngine::writePdf(*l.model, pdf, &error), qPrintable(error));
    const QString text = pdfText(pdf);
    QCOMPARE(text.count(QChar('\f')), 2);
    QVERIFY(text.contains("DECIZIE DE IMPUNERE pentru anii"));
    QVERIFY(text.contains("BARBU ELENA"));
    QVERIFY(text.contains("CIOBANU ION"));
    QVERIFY(text.contains("Am primit un exemplar al deciziei de impunere."));
}

void TestRepDecDisp::theFormIsDrawnOnceAndLooksAsBefore() {
    TaxRegister reg;
    const int longer = reg.addPlace("Bellu", "1700101123459", "LUNG");
    reg.addConcession(longer, QDate(2001, 1, 1), 50, 6,
                      {{"Nume_Uzufruct", "Constantinescu-Georgescu Maria Magdalena Alexandra"},
                       {"Localitatea", "Drobeta-Turnu Severin"},
                       {"Strada", "Ștefan cel Mare și Sfânt"}});
    const Laid shared = layoutAt(reg, QDate(2025, 12, 31));
    const Laid plain = layoutAt(reg, QDate(2025, 12, 31), false);
    const PageModel &m = *shared.model, &before = *plain.model;
    QCOMPARE(m.pageCount(), 3);
    QCOMPARE(before.pageCount(), 3);
    // The form is held once; each page keeps only its holder's data and
    // the date, and draws the very items it drew before.
    QCOMPARE(m.blockCount(), 1);
    QCOMPARE(before.blockCount(), 0);
    const auto sorted = [](const PageModel& model, int page) {
        std::vector<std::tuple<int, float, float, float, float, QString, int>> items;
        for (const PageItem& it : model.page(page))
            items.emplace_back(it.kind, it.x, it.y, it.w, it.h, model.itemText(page, it), it.style);
        std::sort(items.begin(), items.end());
        return items;
    };
    for (int p = 0; p < m.pageCount(); ++p) {
        QCOMPARE(m.pageBlock(p), 0);
        QVERIFY(m.ownItems(p).size() <= 14);
        QVERIFY(m.block(0).size() > 50);
        QVERIFY(sorted(m, p) == sorted(before, p));
    }

    // In the PDF the form is one object every page invokes, and each page
    // renders as the form-per-page file rendered it and as the painter draws.
    QTemporaryDir dir;
    const QString pdf = dir.filePath("decizii.pdf"), old = dir.filePath("vechi.pdf");
    QString error;
    QVERIFY2(ReportEngine::writePdf(m, pdf, &error), qPrintable(error));
    QVERIFY2(ReportEngine::writePdf(before, old, &error), qPrintable(error));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("/Subtype /Form"), 1);
    QVERIFY(QFileInfo(pdf).size() < QFileInfo(old).size());
    for (int p = 0; p < m.pageCount(); ++p) {
        const QImage now = renderPdfPage(pdf, p, dir.filePath("nou"));
        const QImage then = renderPdfPage(old, p, dir.filePath("vechi"));
        QVERIFY(!now.isNull() && now.size() == then.size());
        int differ = 0;
        for (int y = 0; y < now.height(); ++y) {
            for (int x = 0; x < now.width(); ++x)
                differ += std::abs(now.constScanLine(y)[x] - then.constScanLine(y)[x]) > 64;
        }
        QCOMPARE(differ, 0);
        const QString differs = sameInk(now, paintPage(m, p, now.size()), 20000);
        QVERIFY2(differs.isEmpty(), qPrintable(differs));
    }
}

QTEST_MAIN(TestRepDecDisp)
#include "tst_repdecdisp.moc"
