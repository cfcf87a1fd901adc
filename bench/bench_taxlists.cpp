// Expired concessions and tax decisions over a synthetic register, through
// the same report forms and engine calls as the program. Not a test: it
// prints figures for bench/README.md. Each mode runs in a process of its
// own, so that its peak memory is its own.
//
//   bench_taxlists make DIR N          generates a register of N places in DIR
//   bench_taxlists expirate DIR [PDF]  expired concessions: prepare, layout, PDF
//                                      (kept as PDF when given)
//   bench_taxlists cimitir DIR         the decisions of the largest cemetery
//                                      to the page model the preview shows
//   bench_taxlists decizii DIR [PDF]   all decisions: prepare, layout, PDF

#include "Database.h"
#include "RegisterGenerator.h"
#include "RepConExpUnt.h"
#include "RepDecDisp.h"
#include "ReportEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <sys/resource.h>

namespace {

double peakRssMb() {
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss / 1024.0;
}

QString largestCemetery(Database& db) {
    return db
        .scalar(QStringLiteral("SELECT Cimitir, COUNT(*) AS N FROM Catalog GROUP BY Cimitir "
                               "ORDER BY N DESC LIMIT 1"))
        .toString();
}

int run(QTextStream& out, ReportForm& form, Database& db, const ReportRequest& request, bool pdf,
        const QString& keepAs = QString()) {
    QElapsedTimer all, t;
    all.start();
    t.start();
    form.prepare(db, request);
    const qint64 prepareMs = t.restart();
    const qint64 rows = form.rows().sizeHint();
    auto model = ReportLayout::run(form.definition(), form.rows());
    const qint64 layoutMs = t.restart();
    out << "  rows " << rows << ", pages " << model->pageCount() << "\n"
        << "  prepare (queries): " << prepareMs << " ms; layout: " << layoutMs << " ms; page model "
        << model->memoryBytes() / (1024.0 * 1024.0) << " MB\n";
    out.flush();
    if (pdf) {
        QTemporaryDir dir;
        const QString path = keepAs.isEmpty() ? dir.filePath(QStringLiteral("out.pdf")) : keepAs;
        QString error;
        t.restart();
        if (!ReportEngine::writePdf(*model, path, &error)) {
            out << "  PDF failed: " << error << "\n";
            return 1;
        }
        const qint64 bytes = QFileInfo(path).size();
        out << "  PDF: " << t.elapsed() << " ms, " << bytes / (1024 * 1024) << " MiB, "
            << bytes / std::max(1, model->pageCount()) << " bytes a page\n";
    }
    form.close();
    out << "  total: " << all.elapsed() << " ms; peak RSS " << peakRssMb() << " MB\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tombrix"));
    QTextStream out(stdout);
    const QStringList args = app.arguments().mid(1);
    const QString mode = args.value(0);
    QString dir = args.value(1);
    if (dir.isEmpty()) {
        out << "usage: bench_taxlists make|expirate|cimitir|decizii DIR [N]\n";
        return 2;
    }
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    Database db(dir + QString::fromLatin1(Database::FileName));
    db.open();
    if (mode == QLatin1String("make")) {
        const int n = args.value(2, QStringLiteral("100000")).toInt();
        QElapsedTimer t;
        t.start();
        generateRegister(db, n, 20261208);
        out << n << " places generated in " << t.elapsed() << " ms\n";
        return 0;
    }
    ReportRequest request;
    request.programDir = dir;
    if (mode == QLatin1String("expirate")) {
        out << "expired concessions at 31/12/2025, all cemeteries, to PDF\n";
        request.date = QDate(2025, 12, 31);
        TRepConExpFrm form;
        return run(out, form, db, request, true, args.value(2));
    }
    if (mode == QLatin1String("cimitir")) {
        request.date = QDate(2025, 12, 31);
        request.cemeteries = {largestCemetery(db)};
        out << "decisions of \"" << request.cemeteries.first() << "\" to the page model\n";
        TRepDecDispFrm form;
        return run(out, form, db, request, false);
    }
    if (mode == QLatin1String("decizii")) {
        out << "all decisions at 31/12/2025 to PDF\n";
        request.date = QDate(2025, 12, 31);
        TRepDecDispFrm form;
        return run(out, form, db, request, true, args.value(2));
    }
    out << "unknown mode " << mode << "\n";
    return 2;
}
