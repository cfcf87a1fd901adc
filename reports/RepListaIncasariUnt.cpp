#include "RepListaIncasariUnt.h"

#include "Clock.h"
#include "Database.h"
#include "Query.h"
#include "QueryRowSource.h"
#include "RuledTable.h"
#include "Values.h"

namespace {

constexpr int CemeteryLine = 6;
constexpr int TypeLine = 7;

using RuledTable::arial;

// Dates come from the store as stored text.
QString storedDate(const QVariant& v) {
    return Values::dateToText(Values::storedToDate(v));
}

// The ruled table: outer rectangle and the column rules.
const double TableWidth = 195.0;
const double Rules[] = {16.1, 37.0, 62.4, 82.5, 149.2, 170.7};

} // namespace

TRepListaIncasariFrm::TRepListaIncasariFrm() = default;
TRepListaIncasariFrm::~TRepListaIncasariFrm() = default;

const ReportKind& TRepListaIncasariFrm::kind() {
    static const ReportKind k = [] {
        ReportKind r;
        r.name = QStringLiteral("incasari");
        r.caption = QStringLiteral("Incasari in perioada");
        r.fontName = QStringLiteral("Arial");
        r.fontSize = 8;
        r.orientation = QPageLayout::Portrait;
        r.defaultsText = QStringLiteral("Parametrii de listare impliciti: Arial, 8, A4, Portret");
        r.ask = ReportAsk::Interval;
        r.asksTypes = true;
        r.defaultDate = [] { return Clock::today(); };
        r.create = [] { return std::unique_ptr<ReportForm>(new TRepListaIncasariFrm); };
        return r;
    }();
    return k;
}

QStringList TRepListaIncasariFrm::storedSql() {
    return {
        QStringLiteral("SELECT DISTINCT D1.Cimitir, D.Tip_incasare, D.Data, D.Nr_chit, "
                       "D.Explicatie, D.Suma, D.Numele_beneficiarului, D.DStart, D.DStop, "
                       "D1.Sector, D1.Parcela, D1.Rand, D1.Loc, D1.CNP_Uzufruct, D1.Nume_Uzufruct"),
        QStringLiteral("FROM \"Chitante.DB\" D, \"Catalog.DB\" D1"),
        QStringLiteral("WHERE"),
        QStringLiteral("(D.Data >= :Start)"),
        QStringLiteral(" AND (D.Data <= :Stop)"),
        QStringLiteral(" AND (D1.Id_Loc = D.Id_Loc)"),
        QString(),
        QString(),
        QStringLiteral("ORDER BY D1.Cimitir, D.Tip_incasare, D.Data, D.Nr_chit, D.Explicatie, "
                       "D.Suma, D.Numele_beneficiarului, D.DStart, D.DStop, D1.Sector, D1.Parcela, "
                       "D1.Rand, D1.Loc, D1.CNP_Uzufruct, D1.Nume_Uzufruct"),
    };
}

void TRepListaIncasariFrm::QRLabel15Print(QString& text) {
    text = QString::number(m_counter);
    ++m_counter;
}

void TRepListaIncasariFrm::prepare(Database& db, const ReportRequest& request) {
    build(request.from, request.to);
    Q = std::make_unique<Query>(db);
    Q->setSql(storedSql());
    Q->setParam(QStringLiteral("Start"), request.from);
    Q->setParam(QStringLiteral("Stop"), request.to);
    setFilterLine(*Q, CemeteryLine, QStringLiteral("AND (D1.Cimitir IN ("), request.cemeteries,
                  QStringLiteral("Cimitir"));
    setFilterLine(*Q, TypeLine, QStringLiteral("AND (D.Tip_incasare IN ("), request.types,
                  QStringLiteral("Tip"));
    Q->open();
    m_rows = std::make_unique<QueryRowSource>(*Q);
    m_counter = 1;
}

RowSource& TRepListaIncasariFrm::rows() {
    return *m_rows;
}

void TRepListaIncasariFrm::close() {
    m_rows.reset();
    if (Q)
        Q->close();
}

void TRepListaIncasariFrm::build(const QDate& from, const QDate& to) {
    Rep = ReportDefinition();
    Rep.title = QStringLiteral("Situatia incasarilor");
    Rep.baseFont = arial(8);
    Rep.orientation = QPageLayout::Portrait;
    // A printable band 198.2 mm wide on A4.
    Rep.marginsMm = QMarginsF(5.9, 10, 5.9, 10);
    Rep.printIfEmpty = false;

    const QFont heading = arial(11, true), bold = arial(10, true);

    Band ph;
    ph.height = 32.0;
    ph.add(Element::label(70.9, 1.0, 80, 7.5, QStringLiteral("Lista incasarilor")))
        .withFont(arial(16));
    const QFont big = arial(14);
    ph.add(Element::label(37.0, 10.0, 29, 6.5, QStringLiteral("de  la data :"))).withFont(big);
    ph.add(Element::label(66.7, 10.0, 29, 6.5, Values::dateToText(from))).withFont(big); // QRLabel7
    ph.add(Element::label(96.3, 10.0, 31, 6.5, QStringLiteral("pana la data :"))).withFont(big);
    ph.add(Element::label(128.1, 10.0, 30, 6.5, Values::dateToText(to))).withFont(big); // QRLabel8
    ph.add(Element::label(Rules[4], 20.8, TableWidth - Rules[4], 4.0,
                          QStringLiteral("(Perioada achitata)")))
        .withFont(arial(8, true))
        .aligned(Align::Center)
        .asHeading();
    const double headTop = ph.height - 6.6;
    RuledTable::addHeadings(ph, headTop, 6.6, TableWidth, Rules,
                            {QStringLiteral("Nr. crt."), QStringLiteral("Data"),
                             QStringLiteral("Nr. chitanta"), QStringLiteral("Suma"),
                             QStringLiteral("Achitat de..."), QStringLiteral("de la data"),
                             QStringLiteral("pana la data")},
                            heading);
    Rep.pageHeader = ph;

    Group cim;
    cim.key = QStringLiteral("Cimitir");
    cim.header.height = 6.0;
    cim.header.forceNewPage = true;
    cim.header.add(Element::label(2.4, 1.0, 17.5, 4.5, QStringLiteral("Cimitirul: ")))
        .withFont(bold);
    cim.header.add(Element::data(20.1, 1.0, 150, 4.5, QStringLiteral("Cimitir"))).withFont(bold);
    Band cimFooter;
    cimFooter.height = 6.5;
    cimFooter
        .add(Element::label(32.0, 1.0, 51.5, 4.5,
                            QStringLiteral("Total valoare pentru cimitirul: ")))
        .withFont(bold);
    cimFooter.add(Element::data(83.6, 1.0, 74, 4.5, QStringLiteral("Cimitir"))).withFont(bold);
    cimFooter.add(Element::total(158.8, 1.0, 36.2, 4.5, QStringLiteral("Suma"), true))
        .withFont(bold);
    cim.footer = cimFooter;
    Rep.groups.push_back(cim);

    Group tip;
    tip.key = QStringLiteral("Tip_incasare");
    tip.header.height = 6.0;
    tip.header.add(Element::label(8.7, 1.0, 28, 4.5, QStringLiteral("Tipul incasarii: ")))
        .withFont(bold);
    tip.header.add(Element::data(37.0, 1.0, 120, 4.5, QStringLiteral("Tip_incasare")))
        .withFont(bold);
    tip.header.afterPrint = [this](const PrintContext&) { TipGroupAfterPrint(); };
    Band tipFooter;
    tipFooter.height = 6.0;
    tipFooter
        .add(Element::label(15.1, 1.0, 57.8, 4.5,
                            QStringLiteral("Total valoare pentru tip incasare: ")))
        .withFont(bold);
    tipFooter.add(Element::data(73.0, 1.0, 75, 4.5, QStringLiteral("Tip_incasare"))).withFont(bold);
    tipFooter.add(Element::total(148.2, 1.0, 46.8, 4.5, QStringLiteral("Suma"), true))
        .withFont(bold);
    tip.footer = tipFooter;
    Rep.groups.push_back(tip);

    Band& det = Rep.detail;
    det.height = 5.8;
    // Every cell wraps inside its column and the row grows with the tallest.
    det.add(Element::rect(0, 0, TableWidth, 5.8)).stretchingShape();
    for (double x : Rules)
        det.add(Element::vline(x, 0, 5.8)).stretchingShape();
    const double top = 0.7, h = 4.4;
    det.add(Element::label(0.5, top, 14.6, h, QString()))
        .withFont(arial(10))
        .aligned(Align::Center)
        .stretching()
        .inSheetAs(SheetKind::Count)
        .onPrint = [this](QString& text, const PrintContext&) { QRLabel15Print(text); };
    det.add(Element::data(16.9, top, 19.3, h, QStringLiteral("Data")))
        .aligned(Align::Center)
        .stretching()
        .inSheetAs(SheetKind::Date)
        .format = storedDate;
    det.add(Element::data(39.4, top, 22.2, h, QStringLiteral("Nr_chit")))
        .aligned(Align::Center)
        .stretching();
    det.add(Element::data(63.5, top, 18.5, h, QStringLiteral("Suma")))
        .aligned(Align::Right)
        .stretching()
        .inSheetAs(SheetKind::Amount)
        .format = [](const QVariant& v) {
        return v.isNull() ? QString() : Values::moneyToText(v.toDouble());
    };
    det.add(Element::data(84.9, top, 63.5, h, QStringLiteral("Numele_beneficiarului")))
        .stretching();
    det.add(Element::data(150.3, top, 19.3, h, QStringLiteral("DStart")))
        .aligned(Align::Center)
        .stretching()
        .inSheetAs(SheetKind::Date)
        .format = storedDate;
    det.add(Element::data(173.6, top, 19.3, h, QStringLiteral("DStop")))
        .aligned(Align::Center)
        .stretching()
        .inSheetAs(SheetKind::Date)
        .format = storedDate;

    Band summary;
    summary.height = 7.0;
    summary.add(Element::label(55.3, 1.5, 30, 4.5, QStringLiteral("Total general: ")))
        .withFont(bold);
    summary.add(Element::total(158.8, 1.5, 36.2, 4.5, QStringLiteral("Suma"), true)).withFont(bold);
    Rep.summary = summary;

    Band pf;
    pf.height = 6.0;
    pf.add(Element::pageNumber(96.3 - 40, 1.0, 40, 4.0)).aligned(Align::Right);
    pf.add(Element::date(165.1, 1.0, 30, 4.0));
    Rep.pageFooter = pf;
}
