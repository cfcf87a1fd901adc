#include "RepLocuriNeocupateUnt.h"

#include "Query.h"
#include "RuledTable.h"

namespace {

constexpr double TableLeft = 6.3, TableRight = 191.5, RowHeight = 6.6;
// The right edge of each column but the last.
constexpr double Rules[] = {22.0, 44.5, 70.9, 97.4, 120.7};

using RuledTable::arial;

// The ruled row: a box with the column rules, growing with the band when
// `grows` (rows whose cells wrap).
void addRuling(Band& band, double top, bool grows = false) {
    band.add(Element::rect(TableLeft, top, TableRight - TableLeft, RowHeight)).stretch = grows;
    for (double x : Rules)
        band.add(Element::vline(x, top, RowHeight)).stretch = grows;
}

} // namespace

TRepLocuriNeocupateFrm::TRepLocuriNeocupateFrm() {
    buildReport();
}

TRepLocuriNeocupateFrm::~TRepLocuriNeocupateFrm() {
    close();
}

QStringList TRepLocuriNeocupateFrm::sql() {
    return {QStringLiteral("SELECT DISTINCT Cimitir, Sector, Parcela, Rand, Loc"),
            QStringLiteral("FROM \"Catalog.DB\" "),
            QStringLiteral("WHERE"),
            QStringLiteral("(CNP_Uzufruct IS NULL)"),
            QStringLiteral(" AND (Nume_Uzufruct IS NULL)"),
            QString(),
            QStringLiteral("ORDER BY Cimitir, Sector, Parcela, Rand, Loc")};
}

void TRepLocuriNeocupateFrm::QRLabel9Print(QString& text) {
    text = QString::number(m_counter);
    ++m_counter;
}

void TRepLocuriNeocupateFrm::buildReport() {
    ReportDefinition& d = m_rep;
    d.title = QStringLiteral("Situatia locurilor ramase neocupate");
    d.baseFont = arial(8);
    d.orientation = QPageLayout::Portrait;
    d.printIfEmpty = false;

    Band title;
    title.height = 22.0;
    title
        .add(Element::label(60.3, 1.5, 120, 8, QStringLiteral("Lista locurilor ramase neocupate ")))
        .withFont(arial(16));
    title.add(Element::label(83.6, 11.5, 20, 7, QStringLiteral("la data :"))).withFont(arial(14));
    title.add(Element::date(103.7, 11.5, 40, 7)).withFont(arial(14));
    d.columnHeader = title;

    Group cemetery;
    cemetery.key = QStringLiteral("Cimitir");
    Band& head = cemetery.header;
    head.height = 12.7;
    head.forceNewPage = true;
    head.add(Element::label(8.7, 0.8, 20, 5, QStringLiteral("Cimitirul: ")))
        .withFont(arial(10, true));
    head.add(Element::data(28.6, 0.8, 150, 5, QStringLiteral("Cimitir"))).withFont(arial(10, true));
    const double headTop = head.height - RowHeight;
    addRuling(head, headTop);
    const QStringList headings = {QStringLiteral("Nr. crt."), QStringLiteral("Sectorul"),
                                  QStringLiteral("Parcela"), QStringLiteral("Randul"),
                                  QStringLiteral("Locul")};
    double left = TableLeft;
    for (int i = 0; i < headings.size(); ++i) {
        head.add(Element::label(left, headTop + 1.0, Rules[i] - left, 5, headings.at(i)))
            .withFont(arial(11, true))
            .aligned(Align::Center)
            .asHeading();
        left = Rules[i];
    }
    head.add(Element::label(141.6, headTop + 1.0, 45, 5, QStringLiteral("Observatii")))
        .withFont(arial(11, true))
        .asHeading();
    head.afterPrint = [this](const PrintContext&) { QRGroup1AfterPrint(); };
    d.groups.push_back(cemetery);

    Band& detail = d.detail;
    detail.height = RowHeight;
    // Every cell wraps inside its column and the row grows with the tallest.
    addRuling(detail, 0, true);
    detail.add(Element::label(6.9, 1.2, 21.5 - 6.9, 4.5, QString()))
        .withFont(arial(10))
        .aligned(Align::Center)
        .stretching()
        .inSheetAs(SheetKind::Count)
        .onPrint = [this](QString& text, const PrintContext&) { QRLabel9Print(text); };
    const QStringList fields = {QStringLiteral("Sector"), QStringLiteral("Parcela"),
                                QStringLiteral("Rand"), QStringLiteral("Loc")};
    for (int i = 0; i < fields.size(); ++i)
        detail
            .add(Element::data(Rules[i] + 0.5, 1.6, Rules[i + 1] - Rules[i] - 1.0, 4, fields.at(i)))
            .aligned(Align::Center)
            .stretching();

    Band footer;
    footer.height = RowHeight;
    footer.add(Element::pageNumber(56.3, 1.5, 40, 4)).aligned(Align::Right);
    footer.add(Element::date(165.1, 1.5, 30, 4));
    d.pageFooter = footer;
}

void TRepLocuriNeocupateFrm::prepare(Database& db, const ReportRequest& request) {
    m_q = std::make_unique<Query>(db);
    m_q->setSql(sql());
    setFilterLine(*m_q, FilterLine, QStringLiteral("AND (Cimitir IN ("), request.cemeteries,
                  QStringLiteral("cim"));
    m_q->open();
    m_counter = 1;
    m_rows = std::make_unique<QueryRowSource>(*m_q);
}

void TRepLocuriNeocupateFrm::close() {
    m_rows.reset();
    if (m_q)
        m_q->close();
}

ReportKind RepLocuriNeocupateKind() {
    ReportKind k;
    k.name = QStringLiteral("neocupate");
    k.caption = QStringLiteral("Locurile ramase neocupate");
    k.fontName = QStringLiteral("Arial");
    k.fontSize = 8;
    k.orientation = QPageLayout::Portrait;
    k.defaultsText = QStringLiteral("Parametrii de listare impliciti: Arial, 8, A4, Portret");
    k.ask = ReportAsk::Nothing;
    k.create = [] { return std::make_unique<TRepLocuriNeocupateFrm>(); };
    return k;
}
