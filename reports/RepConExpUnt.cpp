#include "RepConExpUnt.h"

#include "Clock.h"
#include "HolderRows.h"
#include "Values.h"

#include <limits>

QDate DataExpConcesiune(const QVariant& dataConcesiune, const QVariant& nrAni) {
    const QDate start = dataConcesiune.toDate();
    if (dataConcesiune.isNull() || !start.isValid())
        return {};
    const qint64 years = nrAni.isNull() ? 0 : nrAni.toLongLong();
    const qint64 t = qint64(start.year()) + years;
    if (t < std::numeric_limits<int>::min() || t > std::numeric_limits<int>::max())
        return {};
    int day = start.day();
    if (t % 4 != 0 && start.month() == 2 && day == 29)
        day = 28;
    const QDate end(int(t), start.month(), day);
    return end.isValid() ? end.addDays(-1) : QDate();
}

namespace {

QString con(const char* field) {
    return HolderRows::concessionField(QLatin1String(field));
}

QDate expiryOf(const PrintContext& row) {
    return DataExpConcesiune(row.value(con("Data_concesiune")),
                             row.value(con("Nr_ani_concesiune")));
}

// Column boundaries in mm from the band's left edge.
constexpr double kRules[] = {0.0, 15.9, 79.4, 101.9, 228.6, 247.1, 262.7, 283.9};
constexpr double kWidth = 283.9;

} // namespace

TRepConExpFrm::TRepConExpFrm() {
    build();
}

TRepConExpFrm::~TRepConExpFrm() = default;

ReportKind TRepConExpFrm::kind() {
    ReportKind k;
    k.name = QStringLiteral("expirate");
    k.caption = QStringLiteral("Concesiuni expirate");
    k.fontName = QStringLiteral("Arial");
    k.fontSize = 8;
    k.orientation = QPageLayout::Landscape;
    k.defaultsText = QStringLiteral("Parametrii de listare impliciti: Arial, 8, A4, Panorama");
    k.ask = ReportAsk::Date;
    k.defaultDate = [] { return Clock::today(); };
    k.create = [] { return std::make_unique<TRepConExpFrm>(); };
    return k;
}

void TRepConExpFrm::build() {
    Rep.title = QStringLiteral("Situatia concesiunilor expirate");
    Rep.baseFont = QFont(QStringLiteral("Arial"), 8);
    Rep.orientation = QPageLayout::Landscape;
    Rep.printIfEmpty = false;
    const QString arial = QStringLiteral("Arial");

    Band header;
    header.height = 25.7;
    header.add(Element::label(0, 1, kWidth, 8, Rep.title))
        .withFont(QFont(arial, 16))
        .aligned(Align::Center);
    header.add(Element::label(100, 10, 40, 7, QStringLiteral("la data de:")))
        .withFont(QFont(arial, 14))
        .aligned(Align::Right);
    Element& dateLabel = header.add(Element::label(142, 10, 50, 7, QStringLiteral("01.01.2013")));
    dateLabel.withFont(QFont(arial, 14));
    dateLabel.onPrint = [this](QString& text, const PrintContext&) {
        text = Values::dateToText(m_date); // QRLabel7
    };
    const double rowTop = 25.7 - 6.6;
    header.add(Element::rect(0, rowTop, kWidth, 6.6));
    const char* captions[] = {"Nr. crt.", "Numele uzufructului", "CNP", "Detalii", "Data con.",
                              "Nr. con.", "Expirat la"};
    const QFont heading(arial, 11, QFont::Bold);
    for (int i = 0; i < 7; ++i) {
        if (i > 0)
            header.add(Element::vline(kRules[i], rowTop, 6.6));
        header
            .add(Element::label(kRules[i], rowTop + 0.9, kRules[i + 1] - kRules[i], 5,
                                QString::fromLatin1(captions[i])))
            .withFont(heading)
            .aligned(Align::Center)
            .asHeading();
    }
    Rep.pageHeader = header;

    // Each cemetery on its own page, even when none of its rows is listed.
    Group cim;
    cim.key = QStringLiteral("Cimitir");
    cim.header.height = 5.3;
    cim.header.forceNewPage = true;
    const QFont bold(arial, 10, QFont::Bold);
    cim.header.add(Element::label(1, 0.5, 22, 4.5, QStringLiteral("Cimitirul: "))).withFont(bold);
    cim.header.add(Element::data(23, 0.5, 200, 4.5, QStringLiteral("Cimitir"))).withFont(bold);
    cim.header.beforePrint = [this](const PrintContext&) { // CimGroupBeforePrint
        m_counter = 1;
        return true;
    };
    Rep.groups.push_back(cim);

    Band& d = Rep.detail;
    d.height = 5.8;
    d.beforePrint = [this](const PrintContext& row) { return DetailBand1BeforePrint(row); };
    d.add(Element::rect(0, 0, kWidth, 5.8)).stretchingShape();
    for (int i = 1; i < 7; ++i)
        d.add(Element::vline(kRules[i], 0, 5.8)).stretchingShape();
    const double top = 0.6, h = 4.5, pad = 0.6;
    auto cell = [&](int col) {
        return std::pair(kRules[col] + pad, kRules[col + 1] - kRules[col] - 2 * pad);
    };
    {
        const auto [x, w] = cell(0);
        d.add(Element::label(x, top, w, h, QString()))
            .aligned(Align::Center)
            .stretching()
            .inSheetAs(SheetKind::Count)
            .onPrint = [this](QString& text, const PrintContext&) { // QRLabel15Print
            text = QString::number(m_counter++);
        };
    }
    {
        const auto [x, w] = cell(1);
        d.add(Element::data(x, top, w, h, con("Nume_Uzufruct"))).stretching();
    }
    {
        const auto [x, w] = cell(2);
        d.add(Element::data(x, top, w, h, QStringLiteral("CNP_Uzufruct")))
            .aligned(Align::Center)
            .stretching();
    }
    {
        const auto [x, w] = cell(3);
        d.add(Element::label(x, top, w, h, QStringLiteral("Detalii"))).stretching().onPrint =
            [](QString& text, const PrintContext& row) { // QRLabel11Print
                text = holderAddressLine(row);
            };
    }
    {
        const auto [x, w] = cell(4);
        d.add(Element::data(x, top, w, h, con("Data_concesiune")))
            .aligned(Align::Center)
            .stretching();
    }
    {
        const auto [x, w] = cell(5);
        Element& e = d.add(Element::label(x, top, w, h, QString()));
        e.aligned(Align::Center).stretching();
        e.onPrint = [](QString& text, const PrintContext& row) { // QRLabel13Print
            text = concessionNumberText(row);
        };
    }
    {
        const auto [x, w] = cell(6);
        Element& e = d.add(Element::data(x, top, w, h, QStringLiteral("DataExpConcesiune")));
        e.aligned(Align::Center).stretching();
        e.valueOf = [](const PrintContext& row) {
            const QDate exp = expiryOf(row);
            return exp.isValid() ? QVariant(exp) : QVariant();
        };
    }

    Band footer;
    footer.height = 5.8;
    footer.add(Element::pageNumber(0, 1, 80, 4.5));
    footer.add(Element::date(kWidth - 60, 1, 60, 4.5)).aligned(Align::Right);
    Rep.pageFooter = footer;
}

bool TRepConExpFrm::DetailBand1BeforePrint(const PrintContext& row) const {
    const QDate exp = expiryOf(row);
    return !exp.isValid() || exp < m_date;
}

void TRepConExpFrm::prepare(Database& db, const ReportRequest& request) {
    m_date = request.date;
    Q = std::make_unique<HolderRows>(db);
    Q->open(request.cemeteries);
    m_counter = 1;
}

RowSource& TRepConExpFrm::rows() {
    return *Q;
}

void TRepConExpFrm::close() {
    if (Q)
        Q->close();
}
