// Report engine benchmarks: layout, PDF and the preview's first page for a
// long ruled list, and the page model's size for very long runs of one-page
// decisions. Not a test: it prints figures for bench/README.md.
//
//   bench_reports                 the list: 100,000 rows in 100 groups
//   bench_reports qtpdf [ROUNDS]  the list's PDF by our writer and by Qt's
//                                 QPdfWriter in turn, ROUNDS times (3)
//   bench_reports decisions N     N one-page decisions (layout only)
//   bench_reports preview N       opens the preview of an N-page sample list
//   bench_reports pdf N FILE      writes the N-page sample list to FILE
//   bench_reports neocupate [N]   the list of unoccupied places of a
//                                 generated register of N places (100,000)
//   bench_reports lists [PLACES]  the arrears list and the receipts of one
//                                 year on a generated register (100,000
//                                 places), from prepare to the finished PDF,
//                                 beside the bare SQL of their data passes
//   bench_reports server CONNINFO [PLACES]
//                                 the unoccupied, arrears and receipts lists
//                                 from a register on that server beside the
//                                 same from the file
//   bench_reports sheet [PLACES] [TOMBRIX]
//                                 the arrears list as a spreadsheet on a
//                                 generated register (100,000 places), from
//                                 prepare to the finished .xlsx; with the
//                                 program's path, also the whole command
//                                 `tombrix --report restantieri --xlsx`

#include "Database.h"
#include "HolderRows.h"
#include "PagePainter.h"
#include "Query.h"
#include "RegisterGenerator.h"
#include "RepListaIncasariUnt.h"
#include "RepLocuriNeocupateUnt.h"
#include "RepRestantieriUnt.h"
#include "ReportEngine.h"
#include "ReportPreview.h"
#include "ReportRun.h"
#include "SqlText.h"
#include "Values.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <sys/resource.h>

namespace {

double peakRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024.0;
}

// Rows generated on the fly, so that the rows themselves take no memory.
class SyntheticRows : public RowSource {
public:
    SyntheticRows(qint64 count, qint64 perGroup) : m_count(count), m_perGroup(perGroup) {}
    QStringList fieldNames() const override {
        return {QStringLiteral("Cimitir"), QStringLiteral("Nume"), QStringLiteral("CNP"),
                QStringLiteral("Adresa"),  QStringLiteral("Data"), QStringLiteral("Nr"),
                QStringLiteral("Suma")};
    }
    bool next() override { return ++m_cur < m_count; }
    QVariant value(int field) const override {
        static const char* names[] = {"POPESCU", "IONESCU",    "GEORGESCU",
                                      "STANCIU", "DUMITRESCU", "MARIN"};
        static const char* first[] = {"ION", "MARIA", "GHEORGHE", "ELENA", "VASILE", "ANA"};
        switch (field) {
        case 0:
            return QStringLiteral("Cimitirul %1")
                .arg(m_cur / m_perGroup + 1, 3, 10, QLatin1Char('0'));
        case 1:
            return QStringLiteral("%1 %2 %3")
                .arg(QLatin1String(names[m_cur % 6]), QLatin1String(first[(m_cur / 6) % 6]))
                .arg(m_cur + 1);
        case 2:
            return QStringLiteral("1%1").arg(500000000000LL + m_cur * 7919 % 499999999999LL);
        case 3:
            // Every seventh address wraps to two or three lines.
            return m_cur % 7 == 0
                       ? QStringLiteral("Str. Mihai Viteazul nr. %1, bl. C%2, sc. B, ap. %3, "
                                        "localitatea Sanpetru, judetul Brasov")
                             .arg(m_cur % 200)
                             .arg(m_cur % 30)
                             .arg(m_cur % 90)
                       : QStringLiteral("Str. Lunga nr. %1").arg(m_cur % 300);
        case 4:
            return QDate(2000, 1, 1).addDays(m_cur % 9000);
        case 5:
            return QStringLiteral("%1/%2").arg(m_cur % 5000).arg(1990 + m_cur % 30);
        case 6:
            return double(m_cur % 1000) + 0.5;
        }
        return {};
    }
    qint64 sizeHint() const override { return m_count; }

private:
    qint64 m_count, m_perGroup, m_cur = -1;
};

// A ruled landscape list in the manner of the arrears list.
ReportDefinition listReport() {
    ReportDefinition d;
    d.title = QStringLiteral("Lista de proba");
    d.orientation = QPageLayout::Landscape;
    d.marginsMm = QMarginsF(6, 6, 6, 6);
    const QFont title(QStringLiteral("Arial"), 16),
        heading(QStringLiteral("Arial"), 11, QFont::Bold),
        bold(QStringLiteral("Arial"), 10, QFont::Bold);
    const std::vector<double> rules = {0.0, 15.9, 79.4, 101.9, 228.6, 247.1, 262.7, 283.9};
    const QStringList heads = {
        "Nr. crt.", "Numele uzufructului", "CNP", "Detalii", "Data con.", "Nr. con.", "Suma"};
    Band ph;
    ph.height = 25.7;
    ph.add(Element::label(100.5, 2, 120, 8,
                          QStringLiteral("Lista restantierilor la plata taxei anuale")))
        .withFont(title);
    ph.add(Element::label(125.9, 10, 25, 7, QStringLiteral("la data de:")))
        .withFont(QFont("Arial", 14));
    ph.add(Element::date(151.3, 10, 30, 7)).withFont(QFont("Arial", 14));
    ph.add(Element::rect(0, 19.1, 283.9, 6.6));
    for (size_t i = 0; i + 1 < rules.size(); ++i) {
        if (i > 0)
            ph.add(Element::vline(rules[i], 19.1, 6.6));
        ph.add(Element::label(rules[i], 20, rules[i + 1] - rules[i], 5, heads[qsizetype(i)]))
            .withFont(heading)
            .aligned(Align::Center);
    }
    d.pageHeader = ph;

    Group g;
    g.key = QStringLiteral("Cimitir");
    g.header.height = 5.3;
    g.header.add(Element::data(2, 0.5, 120, 4.5, QStringLiteral("Cimitir"))).withFont(bold);
    auto counter = std::make_shared<int>(0);
    g.header.beforePrint = [counter](const PrintContext&) {
        *counter = 1;
        return true;
    };
    Band gf;
    gf.height = 5.8;
    gf.add(Element::label(200, 0.5, 40, 4.5, QStringLiteral("Total cimitir:"))).withFont(bold);
    gf.add(Element::total(240, 0.5, 43, 4.5, QStringLiteral("Suma"), true)).withFont(bold);
    g.footer = gf;
    d.groups.push_back(g);

    d.detail.height = 5.8;
    d.detail.add(Element::rect(0, 0, 283.9, 5.8)).stretchingShape();
    for (size_t i = 1; i + 1 < rules.size(); ++i)
        d.detail.add(Element::vline(rules[i], 0, 5.8)).stretchingShape();
    d.detail.add(Element::label(0.5, 0.6, 15, 4.5, QString())).aligned(Align::Center).onPrint =
        [counter](QString& t, const PrintContext&) { t = QString::number((*counter)++); };
    d.detail.add(Element::data(16.5, 0.6, 62, 4.5, QStringLiteral("Nume")));
    d.detail.add(Element::data(80, 0.6, 21, 4.5, QStringLiteral("CNP"))).aligned(Align::Center);
    d.detail.add(Element::data(102.4, 0.6, 125.7, 4.5, QStringLiteral("Adresa"))).stretching();
    d.detail.add(Element::data(228.9, 0.6, 18, 4.5, QStringLiteral("Data"))).aligned(Align::Center);
    d.detail.add(Element::data(247.7, 0.6, 14.8, 4.5, QStringLiteral("Nr")))
        .aligned(Align::Center)
        .stretching();
    d.detail.add(Element::data(263, 0.6, 20.5, 4.5, QStringLiteral("Suma")))
        .aligned(Align::Right)
        .format = [](const QVariant& v) { return Values::moneyToText(v.toDouble()); };

    Band pf;
    pf.height = 5.8;
    pf.add(Element::pageNumber(240, 1, 43, 4.5)).aligned(Align::Right);
    d.pageFooter = pf;
    Band sum;
    sum.height = 6;
    sum.add(Element::label(200, 1, 40, 4.5, QStringLiteral("Total general:"))).withFont(bold);
    sum.add(Element::total(240, 1, 43, 4.5, QStringLiteral("Suma"), false)).withFont(bold);
    d.summary = sum;
    return d;
}

// One decision per page: a header memo, a form text with data over it, a
// preamble, a grid and a closing memo.
ReportDefinition decisionReport() {
    ReportDefinition d;
    d.title = QStringLiteral("Decizii de proba");
    d.baseFont = QFont(QStringLiteral("Times New Roman"), 10);
    d.marginsMm = QMarginsF(10, 10, 10, 10);
    Band ph;
    ph.height = 10;
    ph.add(Element::memo(16.9, 0, 170.9, 10,
                         QStringLiteral("PRIMARIA COMUNEI SANPETRU\nJUDETUL BRASOV\n"
                                        "Serviciul administrarea cimitirelor")))
        .stretching();
    d.pageHeader = ph;
    d.detail.height = 28.8;
    d.detail.forceNewPage = true;
    d.detail.add(Element::memo(
        14.8, 0, 173.8, 28.8,
        QStringLiteral("DECIZIE DE IMPUNERE\nDomnul/doamna ........................ "
                       "CNP ........................\ndomiciliat in ............"
                       "...............................................\n"
                       "titular al locului de veci din cimitirul ........... sector .... "
                       "parcela .... rand .... loc ....\n\n\n")));
    const char* fields[] = {"Nume", "CNP", "Adresa", "Cimitir", "Nr", "Data"};
    for (int i = 0; i < 6; ++i)
        d.detail
            .add(Element::data(30 + (i % 3) * 50, 4.5 * (1 + i / 3), 48, 4.5,
                               QLatin1String(fields[i])))
            .aligned(Align::Center);
    Band pre;
    pre.height = 10;
    pre.add(Element::memo(14.8, 0, 173, 10,
                          QStringLiteral("In temeiul Legii nr. 227/2015 privind Codul fiscal "
                                         "si al hotararii consiliului local, se stabileste "
                                         "taxa anuala de intretinere a locului de veci. ")
                              .repeated(3)))
        .stretching();
    Band grid;
    grid.height = 41.8;
    Element ge;
    ge.kind = ElementKind::Grid;
    ge.left = 14.8, ge.width = 171.7, ge.height = 41.8;
    ge.gridColumns = 4;
    ge.gridRowHeights = {4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 4.5, 5.0, 5.3};
    ge.gridCells = {"Categorie impozit / taxa", "Suma (lei)", "Termen de plata", "Cont IBAN"};
    for (int y = 0; y < 6; ++y)
        ge.gridCells.insert(
            ge.gridCells.end(),
            {QStringLiteral("%1. Taxa anul %2").arg(y + 1).arg(2020 + y), "", "", ""});
    ge.gridCells.insert(ge.gridCells.end(), {"7. Penalitati", "", "", "", "Taxa", "", "", ""});
    ge.font = QFont(QStringLiteral("Times New Roman"), 8, QFont::Normal, true);
    grid.elements.push_back(ge);
    Band closing;
    closing.height = 10;
    closing
        .add(Element::memo(14.8, 0, 173, 10,
                           QStringLiteral("Plata se face la casieria primariei.\n"
                                          "Prezenta decizie poate fi contestata in 45 de "
                                          "zile.\n\nPrimar,\t\tContabil,")))
        .stretching();
    grid.children.push_back(closing);
    pre.children.push_back(grid);
    d.detail.children.push_back(pre);
    return d;
}

std::unique_ptr<PageModel> sampleList(int pages) {
    // About 31 rows a page.
    SyntheticRows rows(qint64(pages) * 31, 600);
    return ReportLayout::run(listReport(), rows);
}

int runList(QTextStream& out) {
    const ReportDefinition def = listReport();
    QElapsedTimer t;
    {
        // What reading the generated rows alone costs, to read the layout figure against.
        SyntheticRows only(100000, 1000);
        t.start();
        qint64 chars = 0;
        while (only.next()) {
            for (int f = 0; f < 7; ++f)
                chars += only.value(f).toString().size();
        }
        out << "reading the 100,000 generated rows alone: " << t.elapsed() << " ms (" << chars
            << " chars)\n";
    }
    SyntheticRows rows(100000, 1000);
    t.restart();
    auto model = ReportLayout::run(def, rows);
    const qint64 layoutMs = t.elapsed();
    out << "list 100,000 rows, 100 groups: " << model->pageCount() << " pages\n";
    out << "  layout: " << layoutMs << " ms; page model "
        << model->memoryBytes() / (1024.0 * 1024.0) << " MB; peak RSS " << peakRssMb() << " MB\n";
    out.flush();

    ReportPreview preview(*model);
    t.restart();
    preview.show();
    while (preview.area()->paintedPages() == 0 && t.elapsed() < 10000)
        QCoreApplication::processEvents();
    out << "  preview first page shown: " << t.elapsed()
        << " ms (pages painted: " << preview.area()->paintedPages() << ")\n";
    preview.hide();
    out.flush();

    QTemporaryDir dir;
    QString error;
    t.restart();
    if (!ReportEngine::writePdf(*model, dir.filePath(QStringLiteral("list.pdf")), &error)) {
        out << "PDF failed: " << error << "\n";
        return 1;
    }
    out << "  PDF: " << t.elapsed() << " ms, "
        << QFileInfo(dir.filePath(QStringLiteral("list.pdf"))).size() / 1024 << " KiB; peak RSS "
        << peakRssMb() << " MB\n";
    return 0;
}

// The list's pages through Qt's own PDF engine, as the engine wrote them
// before it had a writer of its own: the baseline our writer is read against.
bool writeWithQPdfWriter(const PageModel& model, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QPdfWriter writer(&file);
    writer.setResolution(1200);
    writer.setTitle(model.title);
    writer.setCreator(QCoreApplication::applicationName());
    writer.setPageLayout(QPageLayout(model.pageSize, model.orientation, QMarginsF(0, 0, 0, 0)));
    QPainter p;
    if (!p.begin(&writer))
        return false;
    PagePainter::ShapedLines shaped;
    for (int i = 0; i < model.pageCount(); ++i) {
        if (i > 0)
            writer.newPage();
        PagePainter::paint(p, model, i, &shaped);
    }
    return p.end();
}

// The same 3,579-page list as runList, its PDF written by both writers in
// turn, so that the two figures come from one sitting.
int runQtPdf(QTextStream& out, int rounds) {
    SyntheticRows rows(100000, 1000);
    auto model = ReportLayout::run(listReport(), rows);
    out << "list: " << model->pageCount() << " pages\n";
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.pdf")),
                  qt = dir.filePath(QStringLiteral("qt.pdf"));
    QElapsedTimer t;
    for (int r = 0; r < rounds; ++r) {
        QString error;
        t.start();
        if (!ReportEngine::writePdf(*model, ours, &error)) {
            out << "PDF failed: " << error << "\n";
            return 1;
        }
        const qint64 oursMs = t.elapsed();
        t.restart();
        if (!writeWithQPdfWriter(*model, qt)) {
            out << "QPdfWriter failed\n";
            return 1;
        }
        const qint64 qtMs = t.elapsed();
        out << "  round " << r + 1 << ": our writer " << oursMs << " ms, "
            << QFileInfo(ours).size() / 1024 << " KiB; QPdfWriter " << qtMs << " ms, "
            << QFileInfo(qt).size() / 1024 << " KiB\n";
        out.flush();
    }
    out << "  peak RSS " << peakRssMb() << " MB\n";
    return 0;
}

int runDecisions(QTextStream& out, int count, bool pdf) {
    const ReportDefinition def = decisionReport();
    SyntheticRows rows(count, 5000);
    QElapsedTimer t;
    t.start();
    auto model = ReportLayout::run(def, rows);
    out << "decisions: " << count << " rows -> " << model->pageCount() << " pages; layout "
        << t.elapsed() << " ms; page model " << model->memoryBytes() / (1024.0 * 1024.0)
        << " MB; peak RSS " << peakRssMb() << " MB\n";
    out.flush();
    if (pdf) {
        QTemporaryDir dir;
        QString error;
        t.restart();
        if (!ReportEngine::writePdf(*model, dir.filePath(QStringLiteral("d.pdf")), &error))
            return 1;
        out << "  PDF: " << t.elapsed() << " ms, "
            << QFileInfo(dir.filePath(QStringLiteral("d.pdf"))).size() / 1024 << " KiB; peak RSS "
            << peakRssMb() << " MB\n";
    }
    return 0;
}

double medianOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The list of unoccupied places: the query through the report's own Query,
// the same SQL through the sqlite3 library, then layout and PDF.
int runUnoccupied(QTextStream& out, int places) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QString::fromLatin1(Database::FileName));
    Database db(file);
    db.open();
    QElapsedTimer t;
    t.start();
    generateRegister(db, places, 13);
    out << "unoccupied places at " << places << " places (generated in " << t.elapsed() << " ms)\n";
    out.flush();

    QStringList lines = TRepLocuriNeocupateFrm::sql();
    lines[TRepLocuriNeocupateFrm::FilterLine].clear();
    const QByteArray bareSql =
        lines.join(QLatin1Char('\n')).replace(QStringLiteral("\"Catalog.DB\""), "Catalog").toUtf8();
    sqlite3* bare = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &bare, SQLITE_OPEN_READONLY, nullptr);
    std::vector<double> bareMs, queryMs, layoutMs, pdfMs, totalMs;
    qint64 rows = 0;
    int pages = 0;
    // The query takes tens of milliseconds on a machine shared with builds:
    // it is timed in many rounds, each against the bare SQL just before it;
    // the first five rounds also lay out and write the list.
    constexpr int QueryRounds = 25, WholeRuns = 5;
    for (int run = 0; run < QueryRounds; ++run) {
        t.restart();
        sqlite3_stmt* st = nullptr;
        sqlite3_prepare_v2(bare, bareSql.constData(), -1, &st, nullptr);
        qint64 n = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            for (int c = 0; c < 5; ++c)
                sqlite3_column_text(st, c);
            ++n;
        }
        sqlite3_finalize(st);
        bareMs.push_back(t.nsecsElapsed() / 1e6);

        QElapsedTimer whole;
        whole.start();
        TRepLocuriNeocupateFrm form;
        ReportRequest request;
        request.programDir = dir.path() + QLatin1Char('/');
        t.restart();
        form.prepare(db, request);
        queryMs.push_back(t.nsecsElapsed() / 1e6);
        rows = form.Q()->recordCount();
        if (n != rows) {
            out << "row counts differ: " << n << " bare, " << rows << " report\n";
            return 1;
        }
        if (run >= WholeRuns)
            continue;
        OutputOptions o;
        o.marginsMm = QMarginsF(5, 5, 5, 5);
        ReportEngine::apply(form.definition(), o);
        t.restart();
        auto model = ReportLayout::run(form.definition(), form.rows());
        layoutMs.push_back(t.nsecsElapsed() / 1e6);
        pages = model->pageCount();
        t.restart();
        QString error;
        if (!ReportEngine::writePdf(*model, dir.filePath(QStringLiteral("neocupate.pdf")),
                                    &error)) {
            out << "PDF failed: " << error << "\n";
            return 1;
        }
        pdfMs.push_back(t.nsecsElapsed() / 1e6);
        totalMs.push_back(whole.nsecsElapsed() / 1e6);
    }
    sqlite3_close(bare);
    const double q = medianOf(queryMs), b = medianOf(bareMs);
    std::vector<double> ratios;
    for (size_t i = 0; i < queryMs.size(); ++i)
        ratios.push_back(queryMs[i] / bareMs[i]);
    out << "  " << rows << " rows, " << pages << " pages\n";
    out << "  query " << q << " ms; bare SQL " << b << " ms; ratio " << q / b << " (medians of "
        << QueryRounds << " rounds; median of the rounds' ratios " << medianOf(ratios) << ")\n";
    out << "  medians of " << WholeRuns << " runs:\n";
    out << "  layout " << medianOf(layoutMs) << " ms; PDF " << medianOf(pdfMs) << " ms\n";
    out << "  query + layout + PDF " << medianOf(totalMs) << " ms; peak RSS " << peakRssMb()
        << " MB\n";
    return 0;
}

// Steps a statement to its end, reading every column as the reports do.
qint64 stepAll(sqlite3_stmt* st) {
    qint64 n = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        ++n;
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            (void)sqlite3_column_text(st, c);
    }
    sqlite3_reset(st);
    return n;
}

sqlite3_stmt* prepareSql(sqlite3* db, const QString& text) {
    sqlite3_stmt* st = nullptr;
    const QByteArray sql = translateSql(text).sql.toUtf8();
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        fprintf(stderr, "%s\n", sqlite3_errmsg(db));
        return nullptr;
    }
    return st;
}

// The bare SQL of the arrears list: the set-based pass, and the reading of
// the latest concession and the annual fee with two small queries per row.
void bareArrears(QTextStream& out, const QString& file, const QStringList& setSql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    QElapsedTimer t;
    sqlite3_stmt* set = prepareSql(db, setSql.join(QLatin1Char('\n')));
    t.start();
    const qint64 rows = stepAll(set);
    out << "  bare SQL, set-based pass: " << t.elapsed() << " ms (" << rows << " rows)\n";
    sqlite3_finalize(set);

    sqlite3_stmt* main = prepareSql(
        db, QStringLiteral(
                "SELECT DISTINCT D.Cimitir, D.Sector, D.Parcela, D.Rand, D.Loc, D.CNP_Uzufruct, "
                "D.Nume_Uzufruct, D1.Id_Loc, MAX(D1.Data_concesiune) AS DataCon FROM "
                "\"Catalog.DB\" D, \"Concesionari.DB\" D1 WHERE ((D.CNP_Uzufruct IS NOT NULL) OR "
                "(D.Nume_Uzufruct IS NOT NULL)) AND (D1.Id_Loc = D.Id_Loc) GROUP BY D.Cimitir, "
                "D.Sector, D.Parcela, D.Rand, D.Loc, D.CNP_Uzufruct, D.Nume_Uzufruct, D1.Id_Loc "
                "ORDER BY D.Cimitir, D.Nume_Uzufruct, D.CNP_Uzufruct, D.Sector, D.Parcela, "
                "D.Rand, D.Loc, D1.Id_Loc"));
    sqlite3_stmt* con = prepareSql(
        db, QStringLiteral("SELECT * FROM \"Concesionari.DB\" WHERE Id_Loc = :a AND "
                           "Data_concesiune IS :b ORDER BY Id_Loc, Data_concesiune, Nr_concesiune "
                           "LIMIT 1"));
    sqlite3_stmt* fee = prepareSql(
        db, QStringLiteral("SELECT DISTINCT D.Id_Loc, MAX(D.DStop) AS Stop FROM \"Chitante.DB\" D "
                           "WHERE (D.Id_Loc = :a) AND (D.Tip_incasare = 'Taxa anuala') GROUP BY "
                           "D.Id_Loc ORDER BY D.Id_Loc"));
    t.restart();
    qint64 n = 0;
    while (sqlite3_step(main) == SQLITE_ROW)
        ++n;
    sqlite3_reset(main);
    const qint64 mainMs = t.elapsed();
    t.restart();
    while (sqlite3_step(main) == SQLITE_ROW) {
        sqlite3_bind_value(con, 1, sqlite3_column_value(main, 7));
        sqlite3_bind_value(con, 2, sqlite3_column_value(main, 8));
        stepAll(con);
        sqlite3_bind_value(fee, 1, sqlite3_column_value(main, 7));
        stepAll(fee);
    }
    const qint64 perRowMs = t.elapsed();
    out << "  bare SQL, plain reading: main query " << mainMs << " ms (" << n
        << " rows), main query with two queries per row " << perRowMs << " ms\n";
    sqlite3_finalize(main);
    sqlite3_finalize(con);
    sqlite3_finalize(fee);
    sqlite3_close(db);
}

void bareReceipts(QTextStream& out, const QString& file, const QDate& from, const QDate& to) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* st = prepareSql(db, TRepListaIncasariFrm::storedSql().join(QLatin1Char('\n')));
    const QByteArray a = Values::dateToStored(from).toUtf8(), b = Values::dateToStored(to).toUtf8();
    sqlite3_bind_text(st, 1, a.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, b.constData(), -1, SQLITE_TRANSIENT);
    QElapsedTimer t;
    t.start();
    const qint64 rows = stepAll(st);
    out << "  bare SQL, receipts query: " << t.elapsed() << " ms (" << rows << " rows)\n";
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// One report form from prepare to the finished PDF, timed by step.
bool timeReport(QTextStream& out, ReportForm& form, Database& db, const ReportRequest& req,
                const QString& pdf) {
    QElapsedTimer t, all;
    all.start();
    t.start();
    form.prepare(db, req);
    const qint64 prepareMs = t.elapsed();
    t.restart();
    auto model = ReportLayout::run(form.definition(), form.rows());
    const qint64 layoutMs = t.elapsed();
    form.close();
    t.restart();
    QString error;
    if (!ReportEngine::writePdf(*model, pdf, &error)) {
        out << "PDF failed: " << error << "\n";
        return false;
    }
    const qint64 pdfMs = t.elapsed();
    out << "  " << model->pageCount() << " pages; prepare " << prepareMs << " ms, layout "
        << layoutMs << " ms, PDF " << pdfMs << " ms; total " << all.elapsed() << " ms; peak RSS "
        << peakRssMb() << " MB\n";
    return true;
}

int runLists(QTextStream& out, int places) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Tombrix.sqlite"));
    Database db(file);
    db.open();
    QElapsedTimer t;
    t.start();
    generateRegister(db, places, 20261208);
    out << "register of " << places << " places generated in " << t.elapsed() << " ms\n";
    out.flush();

    const QDate ref(2025, 6, 30);
    out << "arrears list at " << ref.toString(Qt::ISODate) << ":\n";
    {
        TRepRestantieriFrm form;
        ReportRequest req;
        req.programDir = dir.path() + QLatin1Char('/');
        req.date = ref;
        if (!timeReport(out, form, db, req, dir.filePath(QStringLiteral("r.pdf"))))
            return 1;
    }
    HolderRows probe(db);
    probe.open({});
    bareArrears(out, file, probe.sql());
    probe.close();
    out.flush();

    const QDate from(2024, 1, 1), to(2024, 12, 31);
    out << "receipts of 2024:\n";
    {
        TRepListaIncasariFrm form;
        ReportRequest req;
        req.programDir = dir.path() + QLatin1Char('/');
        req.from = from;
        req.to = to;
        if (!timeReport(out, form, db, req, dir.filePath(QStringLiteral("i.pdf"))))
            return 1;
    }
    bareReceipts(out, file, from, to);
    return 0;
}

// The arrears list to .xlsx the way the command line makes it (today's
// date, every cemetery), then, given the program, the command itself in a
// program directory of its own (its daily copy included).
int runSheet(QTextStream& out, int places, const QString& program) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Tombrix.sqlite"));
    {
        Database db(file);
        db.open();
        QElapsedTimer t;
        t.start();
        generateRegister(db, places, 20261208);
        out << "register of " << places << " places generated in " << t.elapsed() << " ms\n";
        out.flush();
        const ReportKind* kind = findReport(QStringLiteral("restantieri"));
        ReportRequest req;
        req.programDir = dir.path() + QLatin1Char('/');
        req.date = ReportRun::defaultDate(*kind);
        QString error;
        for (int run = 0; run < 3; ++run) {
            t.restart();
            if (ReportRun::toSheet(*kind, db, req, dir.filePath(QStringLiteral("r.xlsx")),
                                   &error) != ReportRun::FileResult::Written) {
                out << "sheet failed: " << error << "\n";
                return 1;
            }
            out << "  arrears to .xlsx (prepare and sheet): " << t.elapsed() << " ms, "
                << QFileInfo(dir.filePath(QStringLiteral("r.xlsx"))).size() / 1024 << " KiB\n";
            out.flush();
        }
    }
    if (program.isEmpty())
        return 0;
    const QString copy = dir.filePath(QStringLiteral("tombrix"));
    if (!QFile::copy(program, copy)) {
        out << "cannot copy " << program << "\n";
        return 1;
    }
    QDir(dir.path()).mkdir(QStringLiteral("home")); // the daily copy goes under it
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir.filePath(QStringLiteral("home")));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const QList<QStringList> commands = {
        {"--report", "restantieri", "--xlsx", dir.filePath(QStringLiteral("out.xlsx"))},
        {"--report", "restantieri", "--xlsx", dir.filePath(QStringLiteral("out.xlsx"))},
        {"--report", "restantieri", "--pdf", dir.filePath(QStringLiteral("out.pdf"))},
        {"--report", "restantieri", "--pdf", dir.filePath(QStringLiteral("out.pdf")), "--xlsx",
         dir.filePath(QStringLiteral("out.xlsx"))}};
    for (const QStringList& args : commands) {
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(copy, args);
        if (!p.waitForFinished(600000) || p.exitCode() != 0) {
            out << "command failed: " << p.readAllStandardError() << "\n";
            return 1;
        }
        out << "  tombrix "
            << QStringList(args)
                   .replaceInStrings(dir.path() + QLatin1Char('/'), QString())
                   .join(QLatin1Char(' '))
            << ": " << t.elapsed() << " ms\n";
        out.flush();
    }
    // The holders of both files: the PDF's numbered rows, the sheet's rows
    // with a number in the first column.
    QProcess text;
    text.start(
        QStringLiteral("pdftotext"),
        {QStringLiteral("-layout"), dir.filePath(QStringLiteral("out.pdf")), QStringLiteral("-")});
    text.waitForFinished(600000);
    const QRegularExpression numbered(QStringLiteral("^\\s*\\d+\\s+\\S"));
    qint64 inPdf = 0;
    for (const QByteArray& line : text.readAllStandardOutput().split('\n'))
        inPdf += numbered.match(QString::fromUtf8(line)).hasMatch() ? 1 : 0;
    QProcess zip;
    zip.start(QStringLiteral("unzip"),
              {QStringLiteral("-p"), dir.filePath(QStringLiteral("out.xlsx")),
               QStringLiteral("xl/worksheets/sheet1.xml")});
    zip.waitForFinished(600000);
    const QString sheet = QString::fromUtf8(zip.readAllStandardOutput());
    const qint64 inSheet =
        sheet.count(QRegularExpression(QStringLiteral("<c r=\"A\\d+\"[^>]*><v>")));
    out << "  holders: " << inPdf << " in the PDF, " << inSheet << " in the sheet\n";
    return 0;
}

} // namespace

// The unoccupied places, the arrears and the receipts lists from a register
// on a server (an empty database is filled first) beside the same lists
// from the file with the same generated places, each to a PDF end to end.
int runServerLists(QTextStream& out, const QString& conninfo, int places) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Tombrix.sqlite"));
    Database onFile(file);
    onFile.open();
    generateRegister(onFile, places, 20261208);
    Database onServer(file, conninfo);
    onServer.open();
    if (onServer.scalar(QStringLiteral("SELECT count(*) FROM Catalog")).toLongLong() == 0) {
        generateRegister(onServer, places, 20261208);
        onServer.exec(QStringLiteral("ANALYZE"));
    }
    ReportRequest req;
    req.programDir = dir.path() + QLatin1Char('/');
    req.date = QDate(2025, 6, 30);
    req.from = QDate(2024, 1, 1);
    req.to = QDate(2024, 12, 31);
    out << "lists at " << places << " places, file and server, whole run to PDF (median of 3):\n";
    for (const char* name : {"neocupate", "restantieri", "incasari"}) {
        const ReportKind* kind = findReport(QString::fromLatin1(name));
        double ms[2];
        Database* dbs[2] = {&onFile, &onServer};
        for (int i = 0; i < 2; ++i) {
            std::vector<double> runs;
            for (int r = 0; r < 3; ++r) {
                QElapsedTimer t;
                t.start();
                QString error;
                if (ReportRun::toPdf(*kind, *dbs[i], req, dir.filePath(QStringLiteral("l.pdf")),
                                     &error) != ReportRun::FileResult::Written) {
                    out << name << ": " << error << "\n";
                    return 1;
                }
                runs.push_back(t.nsecsElapsed() / 1e6);
            }
            std::sort(runs.begin(), runs.end());
            ms[i] = runs[1];
        }
        out << "  " << name << ": file " << qRound(ms[0]) << " ms, server " << qRound(ms[1])
            << " ms, ratio " << QString::number(ms[1] / ms[0], 'f', 2) << "\n";
        out.flush();
    }
    return 0;
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tombrix"));
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    if (mode == QLatin1String("decisions"))
        return runDecisions(out, args.value(1, QStringLiteral("2500")).toInt(),
                            args.contains(QStringLiteral("--pdf")));
    if (mode == QLatin1String("qtpdf"))
        return runQtPdf(out, args.value(1, QStringLiteral("3")).toInt());
    if (mode == QLatin1String("neocupate"))
        return runUnoccupied(out, args.value(1, QStringLiteral("100000")).toInt());
    if (mode == QLatin1String("preview")) {
        auto model = sampleList(args.value(1, QStringLiteral("100")).toInt());
        ReportPreview preview(*model);
        preview.exec();
        return 0;
    }
    if (mode == QLatin1String("sheet"))
        return runSheet(out, args.value(1, QStringLiteral("100000")).toInt(), args.value(2));
    if (mode == QLatin1String("server"))
        return runServerLists(out, args.value(1), args.value(2, QStringLiteral("100000")).toInt());
    if (mode == QLatin1String("lists"))
        return runLists(out, args.value(1, QStringLiteral("100000")).toInt());
    if (mode == QLatin1String("pdf")) {
        auto model = sampleList(args.value(1, QStringLiteral("100")).toInt());
        QString error;
        if (!ReportEngine::writePdf(*model, args.value(2, QStringLiteral("sample.pdf")), &error)) {
            out << error << "\n";
            return 1;
        }
        out << model->pageCount() << " pages\n";
        return 0;
    }
    return runList(out);
}
