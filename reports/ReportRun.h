#pragma once

// The run every printed list goes through, once: the private directory, the
// status texts, the report's print defaults, the selection and print setup
// dialogs, the report form made for this run alone, its guarded
// preparation, the output and the clean-up on every path.

#include "ReportEngine.h"
#include "ReportFrame.h"

#include <functional>

class Database;
class PrintDevice;
struct PrintSettings;

namespace ReportRun {

// The private working directory: the program directory and "PRIV".
QString privateDir(const QString& programDir);
// Creates it when missing; StoreError "Nu pot crea <path>" when it cannot.
void ensurePrivateDir(const QString& programDir);

// Font, size, pitch, paper (A4) and orientation back to the report's own;
// the rest of the settings carry over from the previous run.
void resetPrintDefaults(const ReportKind& kind, PrintSettings& settings);

// The print settings as the engine takes them: the base font, copies and
// pages, paper, orientation, and the margins raised to the printer's minimum.
OutputOptions outputOptions(const ReportDefinition& def, const PrintSettings& settings,
                            PrintDevice& device);

// The output step: applies the print settings and previews or prints; the
// preview saves the spreadsheet through `writeSheet` when it is set.
OutputResult
OutputReport(ReportForm& form, QWidget* owner,
             std::function<bool(const QString&, const LayoutProgress&, QString*)> writeSheet = {});

// The run from the menu: the request holds the program directory and what
// was asked before the run.
void run(const ReportKind& kind, QWidget* owner, Database& db, ReportRequest request);

// The menu command: asks what the report asks first (period or date, with
// the menu's defaults), then runs it. Cancel ends it silently.
void menuCommand(const ReportKind& kind, QWidget* owner, Database& db, const QString& programDir);

// The defaults the menu offers (also those of the command line).
QDate defaultDate(const ReportKind& kind);
QDate defaultPeriodStart();

// The run without a window: the report's default print settings (A4, its
// font and orientation, 5 mm margins), no dialog, written to `pdfPath`
// under a temporary name first.
enum class FileResult { Written, Empty, Failed, Cancelled };
using PdfResult = FileResult;
PdfResult toPdf(const ReportKind& kind, Database& db, const ReportRequest& request,
                const QString& pdfPath, QString* error);

// The same rows as a spreadsheet (ReportSheet), one sheet named after the
// report's menu caption. Empty when the report has no rows (nothing is
// written then); Cancelled when `progress` said so.
FileResult toSheet(const ReportKind& kind, Database& db, const ReportRequest& request,
                   const QString& path, QString* error, const LayoutProgress& progress = {});

// The text shown for a store failure while the report is prepared.
QString accessErrorText(const QString& storeText);

// Replaces the engine's output (tests); an empty function restores it.
using OutputFunction =
    std::function<OutputResult(ReportDefinition&, RowSource&, const OutputOptions&, QWidget*)>;
void setOutputFunction(OutputFunction output);

} // namespace ReportRun
