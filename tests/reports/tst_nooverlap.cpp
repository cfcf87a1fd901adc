// Every report with names, addresses and payers as long as their fields
// take, at its own font and at the largest size the print setup offers: no
// text of a page is drawn over another, and on the decision form every
// datum stays within its blank.
#include "Clock.h"
#include "HolderRegister.h"
#include "PrintSettings.h"
#include "RepDecDisp.h"
#include "ReportFrame.h"
#include "ReportLayout.h"
#include "ReportRun.h"

#include <QFontMetricsF>
#include <QtTest>

namespace {

constexpr int LargestFontSize = 48; // the print setup's font dialog stops there

// 50 characters: the longest name and payer the register keeps.
const QString Name50 = QStringLiteral("CONSTANTINESCU-GEORGESCU MARIA MAGDALENA ALEXANDRU");
// 30 characters: the longest street, county and town.
const QString Text30 = QStringLiteral("DROBETA-TURNU SEVERIN MEHEDINT");

struct LongRegister : HolderRegister {
    LongRegister() {
        for (int i = 0; i < 4; ++i) {
            const int place = addPlace(QStringLiteral("Bellu"), QStringLiteral("1800101123456"),
                                       Name50, QStringLiteral("LOC%1ABCDE").arg(i));
            addConcession(place, QDate(1990, 1, 1), 10, 1234567 + i,
                          {{"Nume_Uzufruct", Name50},
                           {"CNP_Uzufruct", "2999999999999"},
                           {"Seria_buletin", "RX"},
                           {"Nr_buletin", 123456789.0},
                           {"Judet", Text30},
                           {"Localitatea", Text30},
                           {"Strada", Text30},
                           {"Numarul", "1234567890"},
                           {"Bloc", "BLOC123456"},
                           {"Scara", "AB"},
                           {"Etaj", 12.0},
                           {"Apartament", 1234.0}});
            db.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Tip_incasare, "
                                   "DStart, DStop, Suma, Numele_beneficiarului) VALUES (?, ?, "
                                   "'2025-02-03', 'Taxa anuala', '2024-01-01', '2024-12-31', "
                                   "1234567.89, ?)"),
                    {place, 1234567890.0 + i, Name50});
        }
        // Unoccupied places with codes as long as their fields.
        for (int i = 0; i < 3; ++i)
            db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, "
                                   "Loc) VALUES (?, 'Bellu', 'SECTOR1234', 'PARCELA123', "
                                   "'RAND123456', ?)"),
                    {++lastId, QStringLiteral("LOC%1234567").arg(i)});
    }
};

// Where a line's ink lies, in mm, as the painter places it in its box.
struct Ink {
    QString text;
    double left, right, top, bottom;
    const PageItem* item;
};

QList<Ink> inkOf(const PageModel& m, int page) {
    QList<Ink> out;
    for (const PageItem& it : m.page(page)) {
        if (it.kind != PageItem::Text && it.kind != PageItem::PageNumberText)
            continue;
        const QString text = m.itemText(page, it);
        const double w =
            PageModel::refToMm(QFontMetricsF(m.font(it.style)).horizontalAdvance(text));
        double left = it.x;
        if (Align(it.align) == Align::Center)
            left += (it.w - w) / 2;
        else if (Align(it.align) == Align::Right)
            left += it.w - w;
        out.append({text, left, left + w, double(it.y), double(it.y + it.h), &it});
    }
    return out;
}

} // namespace

class TestNoOverlap : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Clock::setToday(QDate(2026, 3, 15)); }
    void cleanupTestCase() { Clock::setToday(QDate()); }

    void everyReport_data() {
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("fontSize"); // 0: the report's own
        for (const ReportKind& k : reportKinds()) {
            QTest::newRow(qPrintable(k.name + QStringLiteral(" implicit"))) << k.name << 0;
            QTest::newRow(qPrintable(k.name + QStringLiteral(" 48"))) << k.name << LargestFontSize;
        }
    }

    void everyReport() {
        QFETCH(QString, report);
        QFETCH(int, fontSize);
        const ReportKind& kind = *findReport(report);
        LongRegister reg;
        const std::unique_ptr<ReportForm> form = kind.create();
        ReportRequest request;
        request.programDir = reg.dir.path();
        request.date = QDate(2025, 12, 31);
        request.from = QDate(2025, 1, 1);
        request.to = QDate(2025, 12, 31);
        form->prepare(reg.db, request);
        // The print setup's font, as the run applies it.
        PrintSettings settings;
        ReportRun::resetPrintDefaults(kind, settings);
        if (fontSize > 0)
            settings.fontSize = fontSize;
        ApplyBandFont(form->definition().baseFont, settings);
        const std::unique_ptr<PageModel> m = ReportLayout::run(form->definition(), form->rows());
        form->close();
        QVERIFY(m && m->pageCount() > 0);

        const QStringList formLines = TRepDecDispFrm::formText().split(QLatin1Char('\n'));
        const bool decisions = report == QStringLiteral("decizii");
        int long50 = 0;
        for (int p = 0; p < m->pageCount(); ++p) {
            const QList<Ink> ink = inkOf(*m, p);
            for (qsizetype i = 0; i < ink.size(); ++i) {
                const Ink& a = ink[i];
                if (a.text.contains(QStringLiteral("CONSTANTINESCU")))
                    ++long50;
                const bool aForm = decisions && formLines.contains(a.text);
                // A datum on the form stays on its blank.
                if (decisions && !aForm)
                    QVERIFY2(a.right - a.left <= a.item->w + 0.01, qPrintable(a.text));
                for (qsizetype j = i + 1; j < ink.size(); ++j) {
                    const Ink& b = ink[j];
                    // The data are printed over the form's blanks, by design.
                    if (aForm != (decisions && formLines.contains(b.text)))
                        continue;
                    const bool over = a.left < b.right - 0.05 && b.left < a.right - 0.05 &&
                                      a.top < b.bottom - 0.05 && b.top < a.bottom - 0.05;
                    QVERIFY2(!over, qPrintable(QStringLiteral("page %1: \"%2\" over \"%3\"")
                                                   .arg(p + 1)
                                                   .arg(a.text, b.text)));
                }
            }
        }
        // The long texts were there to be checked (but a name may be wrapped).
        if (report != QStringLiteral("neocupate"))
            QVERIFY(long50 > 0 || fontSize > 0);
    }
};

QTEST_MAIN(TestNoOverlap)
#include "tst_nooverlap.moc"
