#include "RepDecDisp.h"

#include "Clock.h"
#include "DecDispUnt.h"
#include "HolderRows.h"
#include "Values.h"

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

// The data printed over the blanks of the form text: left, top, width (mm).
struct Blank {
    const char* field; // concession field, or the place's code
    bool ofConcession;
    double left, top, width;
};
constexpr Blank kBlanks[] = {
    {"Nume_Uzufruct", true, 40.0, 2.1, 55.6}, {"Seria_buletin", true, 173.6, 2.1, 9.5},
    {"Nr_buletin", true, 19.8, 10.1, 21.2},   {"CNP_Uzufruct", false, 55.8, 10.1, 37.6},
    {"Judet", true, 163.0, 10.1, 22.0},       {"Localitatea", true, 97.4, 18.0, 40.5},
    {"Strada", true, 25.4, 25.9, 48.9},       {"Numarul", true, 82.5, 25.9, 10.8},
    {"Bloc", true, 101.6, 25.9, 10.8},        {"Scara", true, 120.7, 25.9, 10.8},
    {"Etaj", true, 141.8, 25.9, 6.6},         {"Apartament", true, 158.8, 25.9, 15.1},
};

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

    // One decision per row, each on a page of its own. Its texts take the
    // band font of the print settings (the report's base font).
    Band& d = Rep.detail;
    d.height = 30.4 + kGap; // the last data line's box ends at 30.4
    d.forceNewPage = true;
    d.beforePrint = [this](const PrintContext& row) { return DetailBandBeforePrint(row); };
    // Not wrapped: the blanks must stay where the data are printed.
    d.add(Element::label(14.8, 0, 173.8, 28.8, formText()));
    for (const Blank& b : kBlanks) {
        const QString field = b.ofConcession ? con(b.field) : QString::fromLatin1(b.field);
        d.add(Element::data(b.left, b.top, b.width, 4.5, field)).aligned(Align::Center);
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
