#pragma once

// The report engine: how a report is written and produced.
//
// 1. Describe the report in a ReportDefinition (ReportDefinition.h): page
//    header, column header, groups (outermost first; each a key field, a
//    header band that may force a new page and has before/after-print hooks,
//    and an optional footer), the detail band (its beforePrint returning
//    false suppresses the row: nothing prints, totals do not count it),
//    summary and page footer; any band may have child bands printed right
//    after it. Elements are placed in mm from the band's top-left:
//    Element::label / data / memo / date / pageNumber ("Pagina  " + N) /
//    total ("#,##0.00", reset after print) / rect / vline / hline, and grids
//    (ElementKind::Grid). An element without its own font uses the base font.
//    `stretching()` texts wrap and grow their band, pushing lower elements
//    down; `stretchingShape()` rules follow the band's growth.
// 2. Hand the rows over as a RowSource (RowSource.h); a store query is
//    adapted by QueryRowSource (reports/). Rows are read once, in order.
// 3. Call ReportEngine::output(definition, rows, options, parent). The
//    options override the definition's page setup; `preview` shows the
//    modal preview (print and PDF from there) and returns when it closes;
//    otherwise the report goes straight to the default printer. Layout,
//    printing and PDF show a progress window with a cancel button.
//
// Lower level, for tests and batch runs: ReportLayout::run gives the
// PageModel (pages of placed, already broken lines in mm); printPages and
// writePdf produce it; PagePainter draws one page on any QPaintDevice.

#include "PageModel.h"
#include "ReportDefinition.h"
#include "ReportLayout.h"
#include "RowSource.h"

#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

struct OutputOptions {
    QString title;                 // job and preview title; empty keeps the definition's
    std::optional<QFont> baseFont; // unset keeps the definition's
    QPageSize::PageSizeId paper = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{10, 10, 10, 10}; // left, top, right, bottom
    int copies = 1;
    int firstPage = 0; // 0 with lastPage 0: the whole report
    int lastPage = 0;
    bool preview = true;
    QPrinter* printer = nullptr; // printed on; nullptr: the system's default printer
    // Set: the preview also saves the report as a spreadsheet through it
    // (ReportPreview::setSheetWriter).
    std::function<bool(const QString& path, const LayoutProgress& progress, QString* error)>
        writeSheet;
};

enum class OutputResult {
    Done,      // previewed, printed or written
    Empty,     // no pages: nothing shown
    Cancelled, // the user stopped it
    Failed,    // reported to the user already
};

// Called with the pages done and the total; false cancels.
using PageProgress = std::function<bool(int done, int total)>;

namespace ReportEngine {

OutputResult output(ReportDefinition& def, RowSource& rows, const OutputOptions& options,
                    QWidget* parent = nullptr);

// Applies the page setup of the options to the definition.
void apply(ReportDefinition& def, const OutputOptions& options);

// Layout behind a progress window; nullptr when cancelled.
std::unique_ptr<PageModel> layout(const ReportDefinition& def, RowSource& rows, QWidget* parent);

// The pages first..last (1-based, 0 = from the start / to the end) that exist.
std::pair<int, int> pageRange(const PageModel& model, int firstPage, int lastPage);

// Prints full-page with the model's own margins. False with `error` set on
// failure; false with an empty error when cancelled.
bool printPages(const PageModel& model, QPrinter& printer, int copies, int firstPage, int lastPage,
                QString* error, const PageProgress& progress = {});

// Writes the whole report as PDF (PdfOutput). It is written under a temporary name and
// only takes `path` when complete: a cancel or failure leaves no file (and
// an existing file at `path` untouched).
bool writePdf(const PageModel& model, const QString& path, QString* error,
              const PageProgress& progress = {});

// True when the system knows at least one printer.
bool hasPrinter();

// A progress window with a cancel button for long work; it appears only
// when the work lasts. The callbacks return false once cancel is pressed.
class Progress {
public:
    Progress(QWidget* parent, const QString& text);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    PageProgress pages();
    LayoutProgress rows(qint64 expected);

private:
    struct Impl;
    Impl* d;
};

} // namespace ReportEngine
