#include "RepRestantieriUnt.h"

#include "Clock.h"
#include "HolderRows.h"
#include "RuledTable.h"
#include "Values.h"

namespace {

using RuledTable::arial;

const double TableWidth = 283.9;
const double Rules[] = {15.9, 79.4, 101.9, 228.6, 247.1, 262.7};

} // namespace

TRepRestantieriFrm::TRepRestantieriFrm() = default;
TRepRestantieriFrm::~TRepRestantieriFrm() = default;

const ReportKind& TRepRestantieriFrm::kind() {
    static const ReportKind k = [] {
        ReportKind r;
        r.name = QStringLiteral("restantieri");
        r.caption = QStringLiteral("Restantieri");
        r.fontName = QStringLiteral("Arial");
        r.fontSize = 8;
        r.orientation = QPageLayout::Landscape;
        r.defaultsText = QStringLiteral("Parametrii de listare impliciti: Arial, 8, A4, Panorama");
        r.ask = ReportAsk::Date;
        r.defaultDate = [] { return Clock::today(); };
        r.create = [] { return std::unique_ptr<ReportForm>(new TRepRestantieriFrm); };
        return r;
    }();
    return k;
}

bool TRepRestantieriFrm::DetailBand1BeforePrint(const PrintContext& row) const {
    const QDate stop = row.value(QStringLiteral("Stop")).toDate();
    // No annual fee at all counts as the earliest date.
    return !stop.isValid() || stop < m_date;
}

void TRepRestantieriFrm::QRLabel15Print(QString& text) {
    text = QString::number(m_counter);
    ++m_counter;
}

void TRepRestantieriFrm::prepare(Database& db, const ReportRequest& request) {
    m_date = request.date;
    build();
    Q = std::make_unique<HolderRows>(db);
    Q->open(request.cemeteries);
    m_counter = 1;
}

RowSource& TRepRestantieriFrm::rows() {
    return *Q;
}

void TRepRestantieriFrm::close() {
    if (Q)
        Q->close();
}

void TRepRestantieriFrm::build() {
    Rep = ReportDefinition();
    Rep.title = QStringLiteral("Situatia restantierilor");
    Rep.baseFont = arial(8);
    Rep.orientation = QPageLayout::Landscape;
    // A printable band 285.2 mm wide on A4 landscape.
    Rep.marginsMm = QMarginsF(5.9, 8, 5.9, 8);
    Rep.printIfEmpty = false;

    Band ph;
    ph.height = 25.7;
    ph.add(Element::label(100.5, 1.0, 140, 7.5,
                          QStringLiteral("Lista restantierilor la plata taxei anuale")))
        .withFont(arial(16));
    ph.add(Element::label(125.9, 10.0, 25, 6.5, QStringLiteral("la data de:"))).withFont(arial(14));
    ph.add(Element::label(151.3, 10.0, 35, 6.5, Values::dateToText(m_date))) // QRLabel7
        .withFont(arial(14));
    const double headTop = ph.height - 6.6;
    RuledTable::addHeadings(ph, headTop, 6.6, TableWidth, Rules,
                            {QStringLiteral("Nr. crt."), QStringLiteral("Numele uzufructului"),
                             QStringLiteral("CNP"), QStringLiteral("Detalii"),
                             QStringLiteral("Data con."), QStringLiteral("Nr. con."),
                             QStringLiteral("Ac. pana la")},
                            arial(11, true));
    Rep.pageHeader = ph;

    Group cim;
    cim.key = QStringLiteral("Cimitir");
    cim.header.height = 6.0;
    cim.header.forceNewPage = true;
    cim.header.add(Element::label(2.4, 1.0, 17.5, 4.5, QStringLiteral("Cimitirul: ")))
        .withFont(arial(10, true));
    cim.header.add(Element::data(20.1, 1.0, 200, 4.5, QStringLiteral("Cimitir")))
        .withFont(arial(10, true));
    cim.header.beforePrint = [this](const PrintContext&) {
        CimGroupBeforePrint();
        return true;
    };
    Rep.groups.push_back(cim);

    Band& det = Rep.detail;
    det.height = 5.8;
    det.beforePrint = [this](const PrintContext& row) { return DetailBand1BeforePrint(row); };
    det.add(Element::rect(0, 0, TableWidth, 5.8)).stretchingShape();
    for (double x : Rules)
        det.add(Element::vline(x, 0, 5.8)).stretchingShape();
    const double top = 0.7, h = 4.4;
    // Every cell wraps inside its column and the row grows with the tallest.
    det.add(Element::label(0.5, top, 14.6, h, QString()))
        .aligned(Align::Center)
        .stretching()
        .inSheetAs(SheetKind::Count)
        .onPrint = [this](QString& text, const PrintContext&) { QRLabel15Print(text); };
    det.add(Element::data(16.7, top, 62.2, h,
                          HolderRows::concessionField(QStringLiteral("Nume_Uzufruct"))))
        .stretching();
    det.add(Element::data(80.2, top, 21.2, h, QStringLiteral("CNP_Uzufruct")))
        .aligned(Align::Center)
        .stretching();
    det.add(Element::label(102.4, top, 125.7, h, QString())).stretching().onPrint = // QRLabel11
        [](QString& text, const PrintContext& row) { text = holderAddressLine(row); };
    det.add(Element::data(229.1, top, 17.7, h,
                          HolderRows::concessionField(QStringLiteral("Data_concesiune"))))
        .aligned(Align::Center)
        .stretching();
    det.add(Element::label(247.7, top, 14.8, h, QString())) // QRLabel13
        .aligned(Align::Center)
        .stretching()
        .onPrint = [](QString& text, const PrintContext& row) { text = concessionNumberText(row); };
    det.add(Element::data(263.3, top, 19.8, h, QStringLiteral("Stop")))
        .aligned(Align::Center)
        .stretching();

    Band pf;
    pf.height = 6.0;
    pf.add(Element::pageNumber(155.5 - 40, 1.0, 40, 4.0)).aligned(Align::Right);
    pf.add(Element::date(264.6, 1.0, 20.6, 4.0));
    Rep.pageFooter = pf;
}
