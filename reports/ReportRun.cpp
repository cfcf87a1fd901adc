#include "ReportRun.h"

#include "Clock.h"
#include "Database.h"
#include "Datedlg.h"
#include "Intrvdlg.h"
#include "PrintSettings.h"
#include "Prompts.h"
#include "Qprndlg.h"
#include "ReportProgress.h"
#include "ReportSheet.h"
#include "SelCim.h"
#include "SelTipIncasare.h"
#include "StoreError.h"
#include "WaitCursor.h"

#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <optional>

namespace ReportRun {

namespace {

OutputFunction g_output;

// Closes the form's queries on every path once preparation was tried.
struct FormCloser {
    ReportForm& form;
    ~FormCloser() { form.close(); }
};

} // namespace

void setOutputFunction(OutputFunction output) {
    g_output = std::move(output);
}

QString privateDir(const QString& programDir) {
    return programDir + QStringLiteral("PRIV");
}

void ensurePrivateDir(const QString& programDir) {
    const QString dir = privateDir(programDir);
    if (QFileInfo(dir).isDir())
        return;
    if (!QDir().mkdir(dir))
        throw StoreError(QStringLiteral("Nu pot crea ") + QDir::toNativeSeparators(dir));
}

void resetPrintDefaults(const ReportKind& kind, PrintSettings& s) {
    s.fontName = kind.fontName.left(PrintSettings::MaxFontNameLength);
    s.fontSize = kind.fontSize;
    s.fontPitch = FontPitch::Default;
    s.paperSize = PaperA4;
    s.orientation = kind.orientation == QPageLayout::Landscape ? PrintOrientation::Landscape
                                                               : PrintOrientation::Portrait;
}

OutputOptions outputOptions(const ReportDefinition& def, const PrintSettings& s,
                            PrintDevice& device) {
    OutputOptions o;
    o.title = def.title;
    QFont font = def.baseFont;
    ApplyBandFont(font, s);
    o.baseFont = font;
    if (const std::optional<QPageSize> paper = paperPageSize(s.paperSize)) {
        o.paper = paper->id();
    } else {
        // The printer's own paper, when it is one the engine can name.
        const QPageSize own = device.pageSize();
        o.paper = own.isValid() && own.id() != QPageSize::Custom ? own.id() : QPageSize::A4;
    }
    o.orientation = s.orientation == PrintOrientation::Landscape ? QPageLayout::Landscape
                                                                 : QPageLayout::Portrait;
    device.setOrientation(s.orientation);
    const MarginsMm m = effectiveMargins(s, MeasurePrintableArea(device));
    o.marginsMm = QMarginsF(m.left, m.top, m.right, m.bottom);
    o.copies = s.copies;
    o.firstPage = s.firstPage;
    o.lastPage = s.lastPage;
    o.preview = s.preview;
    if (!device.printerName().isEmpty())
        o.printer = device.printer();
    return o;
}

OutputResult
OutputReport(ReportForm& form, QWidget* owner,
             std::function<bool(const QString&, const LayoutProgress&, QString*)> writeSheet) {
    OutputOptions o =
        outputOptions(form.definition(), PrintSettings::current(), PrintDevice::current());
    o.writeSheet = std::move(writeSheet);
    if (g_output)
        return g_output(form.definition(), form.rows(), o, owner);
    return ReportEngine::output(form.definition(), form.rows(), o, owner);
}

QString accessErrorText(const QString& storeText) {
    return QStringLiteral("Eroare de acces la baza de date!\n<") + storeText + QStringLiteral(">!");
}

void run(const ReportKind& kind, QWidget* owner, Database& db, ReportRequest request) {
    ensurePrivateDir(request.programDir);
    // SQLite keeps its temporary results itself: nothing to tell the store.
    ReportProgress::show(kind.defaultsText);
    resetPrintDefaults(kind, PrintSettings::current());
    request.cemeteries.clear();
    request.types.clear();
    if (!SelectCemeteries(owner, db, request.cemeteries) ||
        (kind.asksTypes && !SelectCollectionTypes(owner, db, request.types)) ||
        !AskPrintSetup(owner)) {
        if (!kind.cancelledStatus.isEmpty())
            ReportProgress::show(kind.cancelledStatus);
        return;
    }

    const std::unique_ptr<ReportForm> form = kind.create();
    if (owner)
        owner->repaint(); // no trace of the closed dialogs
    ReportProgress::show(QStringLiteral(" Listez..."));
    {
        std::optional<WaitCursor> wait(std::in_place);
        try {
            form->prepare(db, request);
        } catch (const StoreError& e) {
            form->close();
            wait.reset();
            // The status line keeps " Listez..." unless the report says otherwise.
            Prompts::error(accessErrorText(e.message()));
            if (kind.doneAfterFailure && !kind.doneStatus.isEmpty())
                ReportProgress::show(kind.doneStatus);
            return;
        } catch (...) {
            form->close();
            throw;
        }
    }
    {
        FormCloser closer{*form};
        // The spreadsheet is made from a run of its own: the preview's rows
        // were read once, by the layout.
        OutputReport(*form, owner,
                     [&kind, &db, request](const QString& path, const LayoutProgress& progress,
                                           QString* error) {
                         const FileResult r = toSheet(kind, db, request, path, error, progress);
                         if (r == FileResult::Empty)
                             *error = QStringLiteral("Raportul nu mai are niciun rand; fisierul "
                                                     "nu a fost scris.");
                         return r == FileResult::Written;
                     });
    }
    if (!kind.doneStatus.isEmpty())
        ReportProgress::show(kind.doneStatus);
}

QDate defaultDate(const ReportKind& kind) {
    return kind.defaultDate ? kind.defaultDate() : Clock::today();
}

QDate defaultPeriodStart() {
    return QDate(Clock::today().year(), 1, 1);
}

void menuCommand(const ReportKind& kind, QWidget* owner, Database& db, const QString& programDir) {
    ReportRequest request;
    request.programDir = programDir;
    switch (kind.ask) {
    case ReportAsk::Interval:
        request.from = defaultPeriodStart();
        request.to = defaultDate(kind);
        if (!AskInterval(owner, request.from, request.to))
            return;
        break;
    case ReportAsk::Date:
        request.date = defaultDate(kind);
        if (!AskDate(owner, request.date))
            return;
        break;
    case ReportAsk::Nothing:
        break;
    }
    if (kind.askBeforeRun && !kind.askBeforeRun(owner, programDir))
        return;
    run(kind, owner, db, request);
}

PdfResult toPdf(const ReportKind& kind, Database& db, const ReportRequest& request,
                const QString& pdfPath, QString* error) {
    error->clear();
    try {
        ensurePrivateDir(request.programDir);
    } catch (const StoreError& e) {
        *error = e.message();
        return PdfResult::Failed;
    }
    PrintSettings settings; // the report's defaults, 5 mm margins
    resetPrintDefaults(kind, settings);
    const std::unique_ptr<ReportForm> form = kind.create();
    try {
        form->prepare(db, request);
    } catch (const StoreError& e) {
        form->close();
        *error = accessErrorText(e.message()).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return PdfResult::Failed;
    }
    FormCloser closer{*form};
    OutputOptions o;
    o.title = form->definition().title;
    QFont font = form->definition().baseFont;
    ApplyBandFont(font, settings);
    o.baseFont = font;
    o.paper = QPageSize::A4;
    o.orientation = kind.orientation;
    o.marginsMm = QMarginsF(settings.marginLeft, settings.marginTop, settings.marginRight,
                            settings.marginBottom);
    ReportEngine::apply(form->definition(), o);
    const std::unique_ptr<PageModel> model = ReportLayout::run(form->definition(), form->rows());
    if (!model || model->pageCount() == 0)
        return PdfResult::Empty;
    return ReportEngine::writePdf(*model, pdfPath, error) ? PdfResult::Written : PdfResult::Failed;
}

FileResult toSheet(const ReportKind& kind, Database& db, const ReportRequest& request,
                   const QString& path, QString* error, const LayoutProgress& progress) {
    error->clear();
    const std::unique_ptr<ReportForm> form = kind.create();
    try {
        form->prepare(db, request);
    } catch (const StoreError& e) {
        form->close();
        *error = accessErrorText(e.message()).replace(QLatin1Char('\n'), QLatin1Char(' '));
        return FileResult::Failed;
    }
    FormCloser closer{*form};
    try {
        switch (
            ReportSheet::write(form->definition(), form->rows(), path, kind.caption, progress)) {
        case ReportSheet::Result::Written:
            return FileResult::Written;
        case ReportSheet::Result::Empty:
            return FileResult::Empty;
        case ReportSheet::Result::Cancelled:
            return FileResult::Cancelled;
        }
    } catch (const StoreError& e) {
        *error = e.message();
    }
    return FileResult::Failed;
}

} // namespace ReportRun
