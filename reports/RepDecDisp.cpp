#include "RepDecDisp.h"

#include "Clock.h"
#include "DecDispUnt.h"
#include "HolderRows.h"
#include "ReportLayout.h"
#include "Values.h"

#include <QFontMetricsF>
#include <iterator>
#include <vector>

namespace {

QString con(const char* field) {
    return HolderRows::concessionField(QLatin1String(field));
}

QString blanks(int n) {
    return QString(n, QLatin1Char(' '));
}

QFont times(int size, bool italic = false) {
    return QFont(QStringLiteral("Times New Roman"), size, QFont::Normal, italic);
}

// The data printed on the blanks of the form text: the form line and the
// words just before the blank. The places are measured on the form as it is
// drawn, so that a datum never runs into the words around its blank.
struct Blank {
    const char* field; // concession field, or the place's code
    bool ofConcession;
    int line;
    const char* before;
};
constexpr Blank kBlanks[] = {
    {"Nume_Uzufruct", true, 0, "Dlui/Dnei "},
    {"Seria_buletin", true, 0, "seria "},
    {"Nr_buletin", true, 2, "nr. "},
    {"CNP_Uzufruct", false, 2, "CIF/CNP"},
    {"Judet", true, 2, "Judetul "},
    {"Localitatea", true, 4, "comuna "},
    {"Strada", true, 6, "strada"},
    {"Numarul", true, 6, ", nr"},
    {"Bloc", true, 6, ", bl."},
    {"Scara", true, 6, "sc. "},
    {"Etaj", true, 6, "et. "},
    {"Apartament", true, 6, "ap. "},
};

constexpr double kFormLeft = 14.8;
constexpr double kFormTop = 1.0;
// The data stand this much higher than the form's words, so that the
// underscores pass below their descenders instead of through them.
constexpr double kRaise = 1.0;

// A datum too long for its blank is printed smaller rather than over the
// words around the blank: the form's size first, then these.
constexpr double kSizes[] = {10, 8, 6.5};
constexpr int kSizeCount = int(std::size(kSizes));

QFont sizedFont(int size) {
    QFont f = TRepDecDispFrm::formFont();
    f.setPointSizeF(kSizes[size]);
    return f;
}

const QFontMetricsF& sizeMetrics(int size) {
    static const std::vector<QFontMetricsF> metrics = [] {
        std::vector<QFontMetricsF> m;
        for (int i = 0; i < kSizeCount; ++i)
            m.emplace_back(ReportLayout::referenceFont(sizedFont(i)));
        return m;
    }();
    return metrics.at(size_t(size));
}

// The size a text takes on a blank `widthMm` wide: the first it fits in,
// the smallest when none does.
int sizeOn(const QString& text, double widthMm) {
    // Short texts (most data are) surely fit without being measured.
    static const double widest = PageModel::refToMm(sizeMetrics(0).maxWidth());
    if (double(text.size()) * widest <= widthMm)
        return 0;
    // The boxes of one datum ask in turn about the same text.
    static QString lastText;
    static double lastWidth = -1;
    static int lastSize = 0;
    if (widthMm == lastWidth && text == lastText)
        return lastSize;
    int size = 0;
    while (size + 1 < kSizeCount &&
           PageModel::refToMm(sizeMetrics(size).horizontalAdvance(text)) > widthMm)
        ++size;
    lastText = text;
    lastWidth = widthMm;
    lastSize = size;
    return size;
}

// A field as the report shows it: numbers in their shortest form.
QString fieldText(const QVariant& v) {
    if (v.isNull() || !v.isValid())
        return {};
    if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float)
        return Values::numberToText(v.toDouble());
    return v.toString();
}

constexpr double kTextLeft = 14.8;
constexpr double kTextWidth = 173.0;
constexpr double kGap = 1.0; // below each growing text

// A child band holding one growing text.
Band memoBand() {
    Band b;
    b.height = 4.5 + kGap;
    b.add(Element::memo(kTextLeft, 0, kTextWidth, 4.5, QString())).withFont(times(10)).stretching();
    return b;
}

} // namespace

TRepDecDispFrm::TRepDecDispFrm() {
    build();
}

TRepDecDispFrm::~TRepDecDispFrm() = default;

QDate TRepDecDispFrm::defaultDate() {
    return QDate(Clock::today().year() - 1, 12, 31);
}

ReportKind TRepDecDispFrm::kind() {
    ReportKind k;
    k.name = QStringLiteral("decizii");
    k.caption = QStringLiteral("Decizii de impunere");
    k.fontName = QStringLiteral("Times New Roman");
    k.fontSize = 10;
    k.orientation = QPageLayout::Portrait;
    k.defaultsText =
        QStringLiteral("Parametrii de listare impliciti: Times New Roman, 10, A4, Portret");
    k.ask = ReportAsk::Date;
    k.defaultDate = &TRepDecDispFrm::defaultDate;
    k.create = [] { return std::make_unique<TRepDecDispFrm>(); };
    k.askBeforeRun = &AskDecisionTexts;
    k.cancelledStatus = QString();
    k.doneStatus = QStringLiteral("OK.");
    k.doneAfterFailure = true;
    return k;
}

QString TRepDecDispFrm::formText() {
    const QStringList lines = {
        blanks(12) +
            QStringLiteral("Dlui/Dnei _______________________________, identificat(a) prin actul "
                           "de identitate BI/ AI/ CI seria ________ "),
        QString(),
        QStringLiteral("nr. ____________ CIF/CNP_____________________, domiciliat(a) în ROMANIA "
                       "________, Judetul _____________, "),
        QString(),
        QStringLiteral("codul postal _____________, municipiul/orasul/comuna "
                       "_______________________, satul/sectorul ______________, "),
        QString(),
        QStringLiteral("strada____________________________, nr________, bl.________, sc. "
                       "_______et. ______ ap. ___________ ."),
    };
    return lines.join(QLatin1Char('\n'));
}

QFont TRepDecDispFrm::formFont() {
    return times(10);
}

QString TRepDecDispFrm::footerText() {
    const QStringList lines = {
        QStringLiteral("Am primit un exemplar al deciziei de impunere."),
        QString(),
        QStringLiteral(
            "Numele si prenumele ______________________ CNP_____________________ BI/ AI/ "
            "CI serie ____ nr. __________"),
        blanks(6),
        QStringLiteral("Data ______________"),
    };
    return lines.join(QLatin1Char('\n'));
}

void TRepDecDispFrm::build() {
    Rep.title = QStringLiteral("Decizie de impunere");
    Rep.baseFont = times(10);
    Rep.orientation = QPageLayout::Portrait;
    Rep.printIfEmpty = false;
    // Every decision repeats the same form: the PDF holds it once.
    Rep.sharedForm = true;

    // Page header: the header text, then the date of the decisions.
    Band header;
    header.height = 4.5 + kGap;
    header.add(Element::memo(16.9, 0, 170.9, 4.5, QString())).withFont(times(10)).stretching();
    Band dateBand;
    dateBand.height = 6;
    dateBand.add(Element::label(75.1, 0.5, 17, 4.5, QStringLiteral("la data de:")))
        .withFont(times(10));
    dateBand.add(Element::label(92.1, 0.5, 40, 4.5, QStringLiteral("01.01.2013")))
        .withFont(times(10))
        .onPrint = [this](QString& text, const PrintContext&) { // DataLbl
        text = Values::dateToText(m_date);
    };
    header.children.push_back(dateBand);
    Rep.pageHeader = header;

    // One decision per row, each on a page of its own. The form and its
    // data keep their own font: the blanks are where that font puts them.
    Band& d = Rep.detail;
    d.height = 30.4 + kGap;
    d.forceNewPage = true;
    d.beforePrint = [this](const PrintContext& row) { return DetailBandBeforePrint(row); };
    // Not wrapped: the blanks must stay where the data are printed.
    d.add(Element::label(kFormLeft, kFormTop, 173.8, 28.8, formText())).withFont(formFont());
    const QStringList lines = formText().split(QLatin1Char('\n'));
    const QFontMetricsF metrics(ReportLayout::referenceFont(formFont()));
    const double lineMm = PageModel::refToMm(metrics.lineSpacing());
    for (const Blank& b : kBlanks) {
        const QString field = b.ofConcession ? con(b.field) : QString::fromLatin1(b.field);
        const QString& line = lines.at(b.line);
        qsizetype start = line.indexOf(QLatin1String(b.before)) + qsizetype(qstrlen(b.before));
        while (start < line.size() && line.at(start) == QLatin1Char(' '))
            ++start;
        qsizetype end = start;
        while (end < line.size() && line.at(end) == QLatin1Char('_'))
            ++end;
        const double left = PageModel::refToMm(metrics.horizontalAdvance(line.left(start)));
        const double right = PageModel::refToMm(metrics.horizontalAdvance(line.left(end)));
        // One box per size, all on the same baseline; each prints the datum
        // only when its size is the one the datum takes on this blank.
        const double width = right - left;
        const double baseline =
            kFormTop + b.line * lineMm - kRaise + PageModel::refToMm(metrics.ascent());
        for (int size = 0; size < kSizeCount; ++size) {
            const QFontMetricsF& sized = sizeMetrics(size);
            Element& e =
                d.add(Element::data(kFormLeft + left, baseline - PageModel::refToMm(sized.ascent()),
                                    width, PageModel::refToMm(sized.lineSpacing()), field));
            e.withFont(sizedFont(size)).aligned(Align::Center);
            e.format = [size, width](const QVariant& v) {
                const QString text = fieldText(v);
                if (sizeOn(text, width) != size)
                    return QString();
                if (size + 1 < kSizeCount)
                    return text;
                // Too long even at the smallest size: cut with "…" rather
                // than printed over the words around the blank.
                return sizeMetrics(size).elidedText(text, Qt::ElideRight,
                                                    PageModel::mmToRef(width));
            };
        }
    }

    Band preamble = memoBand();
    Band table;
    table.height = 41.8 + 1.5;
    Element grid;
    grid.kind = ElementKind::Grid;
    grid.left = 14.8;
    grid.top = 0;
    grid.width = 171.7;
    grid.height = 41.8;
    grid.gridColumns = 4;
    grid.gridRowHeights = {4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 5.0, 5.3};
    grid.font = times(8, true);
    table.elements.push_back(grid);
    Band closing = memoBand();
    table.children.push_back(closing);
    preamble.children.push_back(table);
    d.children.push_back(preamble);

    Band footer;
    footer.height = 22;
    footer.add(Element::label(14.8, 0.5, 175, 21, footerText())).withFont(times(10));
    Rep.pageFooter = footer;

    // In a spreadsheet a decision is a row: the place and the data printed
    // on the blanks of its form, and the date its tax is paid up to.
    const auto column = [](const char* heading, const QString& field) {
        SheetColumn c;
        c.heading = QString::fromLatin1(heading);
        c.field = field;
        return c;
    };
    Rep.sheetColumns = {
        column("Cimitirul", QStringLiteral("Cimitir")),
        column("Sectorul", QStringLiteral("Sector")),
        column("Parcela", QStringLiteral("Parcela")),
        column("Randul", QStringLiteral("Rand")),
        column("Locul", QStringLiteral("Loc")),
        column("Numele uzufructului", con("Nume_Uzufruct")),
        column("CNP", QStringLiteral("CNP_Uzufruct")),
        column("Seria act", con("Seria_buletin")),
        column("Nr. act", con("Nr_buletin")),
        column("Judetul", con("Judet")),
        column("Localitatea", con("Localitatea")),
        column("Strada", con("Strada")),
        column("Nr.", con("Numarul")),
        column("Bl.", con("Bloc")),
        column("Sc.", con("Scara")),
        column("Et.", con("Etaj")),
        column("Ap.", con("Apartament")),
        column("Taxa achitata pana la", QStringLiteral("Stop")),
    };

    // The elements prepare() fills, now that the bands stay where they are.
    AntetMemo = &Rep.pageHeader->elements.front();
    PreambulMemo = &Rep.detail.children[0].elements.front();
    TaxTable = &Rep.detail.children[0].children[0].elements.front();
    CompletariMemo = &Rep.detail.children[0].children[0].children[0].elements.front();
}

bool TRepDecDispFrm::DetailBandBeforePrint(const PrintContext& row) const {
    const QDate stop = row.value(QStringLiteral("Stop")).toDate();
    return !stop.isValid() || stop < m_date;
}

void TRepDecDispFrm::prepare(Database& db, const ReportRequest& request) {
    m_date = request.date;
    m_year = m_date.year();
    // Row 1 the headings; rows 2 to 7 the six years up to the date's
    // (QR1Lbl to QR6Lbl); then the penalties and the tax.
    std::vector<QString> cells = {QStringLiteral("Categorie impozit / taxa"),
                                  QStringLiteral("Suma (lei)"), QStringLiteral("Termen de plata"),
                                  QStringLiteral("Cont IBAN")};
    for (int i = 1; i <= 6; ++i) {
        cells.insert(cells.end(),
                     {QStringLiteral("%1.").arg(i) + blanks(5) + QString::number(m_year - 6 + i),
                      QString(), QString(), QString()});
    }
    cells.insert(cells.end(), {QStringLiteral("7. Penalitati"), QString(), QString(), QString(),
                               QStringLiteral("Taxa"), QString(), QString(), QString()});
    TaxTable->gridCells = std::move(cells);

    Q = std::make_unique<HolderRows>(db);
    Q->open(request.cemeteries);

    AntetMemo->text = DecDispTexts::printed(request.programDir, DecDispTexts::Antet);
    PreambulMemo->text = DecDispTexts::printed(request.programDir, DecDispTexts::Preambul);
    CompletariMemo->text = DecDispTexts::printed(request.programDir, DecDispTexts::Completari);
}

RowSource& TRepDecDispFrm::rows() {
    return *Q;
}

void TRepDecDispFrm::close() {
    if (Q)
        Q->close();
}
