#include "ReportEngine.h"

#include "OwnSaveFile.h"

#include "PagePainter.h"
#include "PdfOutput.h"
#include "Prompts.h"
#include "ReportPreview.h"
#include "WaitCursor.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPointer>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>

namespace ReportEngine {

struct Progress::Impl {
    QPointer<QProgressDialog> dialog;
    QElapsedTimer sinceEvents;
};

Progress::Progress(QWidget* parent, const QString& text) : d(new Impl) {
    d->dialog = new QProgressDialog(text, QStringLiteral("Anuleaza"), 0, 0, parent);
    d->dialog->setWindowTitle(QCoreApplication::applicationName());
    d->dialog->setWindowModality(Qt::ApplicationModal);
    d->dialog->setMinimumDuration(400);
    d->dialog->setAutoClose(false);
    d->dialog->setAutoReset(false);
    d->sinceEvents.start();
}

Progress::~Progress() {
    delete d->dialog;
    delete d;
}

PageProgress Progress::pages() {
    return [this](int done, int total) {
        QProgressDialog* dlg = d->dialog;
        if (!dlg)
            return true;
        if (dlg->maximum() != total)
            dlg->setMaximum(total);
        dlg->setValue(std::min(done, total)); // keeps events flowing while shown
        return !dlg->wasCanceled();
    };
}

LayoutProgress Progress::rows(qint64 expected) {
    return [this, expected](qint64 done, int) {
        QProgressDialog* dlg = d->dialog;
        if (!dlg)
            return true;
        if (expected > 0 && expected < INT_MAX) {
            if (dlg->maximum() != int(expected))
                dlg->setMaximum(int(expected));
            dlg->setValue(int(std::min(done, expected)));
        } else if (d->sinceEvents.elapsed() > 100) {
            dlg->setValue(0);
            QCoreApplication::processEvents();
            d->sinceEvents.restart();
        }
        return !dlg->wasCanceled();
    };
}

void apply(ReportDefinition& def, const OutputOptions& o) {
    if (!o.title.isEmpty())
        def.title = o.title;
    if (o.baseFont)
        def.baseFont = *o.baseFont;
    def.pageSize = QPageSize(o.paper);
    def.orientation = o.orientation;
    def.marginsMm = o.marginsMm;
}

std::unique_ptr<PageModel> layout(const ReportDefinition& def, RowSource& rows, QWidget* parent) {
    WaitCursor wait;
    Progress progress(parent, QStringLiteral("Se pregateste raportul..."));
    return ReportLayout::run(def, rows, progress.rows(rows.sizeHint()));
}

std::pair<int, int> pageRange(const PageModel& model, int firstPage, int lastPage) {
    const int first = firstPage > 0 ? firstPage : 1;
    const int last = lastPage > 0 ? std::min(lastPage, model.pageCount()) : model.pageCount();
    return {first, last};
}

bool hasPrinter() {
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}

bool printPages(const PageModel& model, QPrinter& printer, int copies, int firstPage, int lastPage,
                QString* error, const PageProgress& progress) {
    error->clear();
    const auto [first, last] = pageRange(model, firstPage, lastPage);
    if (first > last) {
        *error = QStringLiteral("Intervalul de pagini ales nu contine nicio pagina a raportului.");
        return false;
    }
    printer.setFullPage(true); // our own margins, measured from the paper's edge
    printer.setPageLayout(QPageLayout(model.pageSize, model.orientation, QMarginsF(0, 0, 0, 0)));
    if (!model.title.isEmpty())
        printer.setDocName(model.title);
    printer.setFromTo(0, 0);
    copies = std::max(1, copies);
    printer.setCopyCount(copies);
    const int rounds = printer.supportsMultipleCopies() ? 1 : copies;
    QPainter p;
    if (!p.begin(&printer)) {
        *error = QStringLiteral("Nu pot incepe tiparirea la imprimanta \"%1\".")
                     .arg(printer.printerName());
        return false;
    }
    const int total = (last - first + 1) * rounds;
    int done = 0;
    PagePainter::ShapedLines shaped;
    for (int r = 0; r < rounds; ++r) {
        for (int i = first; i <= last; ++i) {
            if (done > 0 && !printer.newPage()) {
                p.end();
                *error = QStringLiteral("Imprimanta nu a primit pagina %1.").arg(i);
                return false;
            }
            PagePainter::paint(p, model, i - 1, &shaped);
            ++done;
            if (progress && !progress(done, total)) {
                printer.abort();
                p.end();
                return false;
            }
        }
    }
    if (!p.end()) {
        *error = QStringLiteral("Tiparirea nu s-a putut incheia.");
        return false;
    }
    return true;
}

namespace {

bool writeWithQt(const PageModel& model, QIODevice& file, const QString& path, QString* error,
                 const PageProgress& progress) {
    QPdfWriter writer(&file);
    writer.setResolution(1200);
    writer.setTitle(model.title);
    writer.setCreator(QCoreApplication::applicationName());
    writer.setPageLayout(QPageLayout(model.pageSize, model.orientation, QMarginsF(0, 0, 0, 0)));
    QPainter p;
    if (!p.begin(&writer)) {
        *error =
            QStringLiteral("Nu pot scrie fisierul \"%1\".").arg(QDir::toNativeSeparators(path));
        return false;
    }
    const int total = std::max(1, model.pageCount());
    PagePainter::ShapedLines shaped;
    for (int i = 0; i < model.pageCount(); ++i) {
        if (i > 0)
            writer.newPage();
        PagePainter::paint(p, model, i, &shaped);
        if (progress && !progress(i + 1, total)) {
            p.end();
            return false;
        }
    }
    return p.end();
}

} // namespace

bool writePdf(const PageModel& model, const QString& path, QString* error,
              const PageProgress& progress) {
    error->clear();
    const auto cannotWrite = [&](const OwnSaveFile& file) {
        *error = QStringLiteral("Nu pot scrie fisierul \"%1\":\n%2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    };
    // Our own writer when it can embed the fonts; Qt's otherwise. A file
    // not committed is removed with its OwnSaveFile, so a second try starts clean.
    if (PdfOutput::supports(model)) {
        OwnSaveFile file(path);
        if (!file.open())
            return cannotWrite(file);
        switch (PdfOutput::write(model, file.device(), error, progress)) {
        case PdfOutput::Result::Written:
            return file.commit() || cannotWrite(file);
        case PdfOutput::Result::Cancelled:
            return false;
        case PdfOutput::Result::Failed:
            return cannotWrite(file);
        case PdfOutput::Result::Unsupported:
            break;
        }
    }
    OwnSaveFile file(path);
    if (!file.open())
        return cannotWrite(file);
    if (!writeWithQt(model, file.device(), path, error, progress))
        return false; // the temporary file goes with `file`
    return file.commit() || cannotWrite(file);
}

OutputResult output(ReportDefinition& def, RowSource& rows, const OutputOptions& options,
                    QWidget* parent) {
    apply(def, options);
    std::unique_ptr<PageModel> model = layout(def, rows, parent);
    if (!model)
        return OutputResult::Cancelled;
    if (model->pageCount() == 0)
        return OutputResult::Empty;
    bool preview = options.preview;
    if (!preview && !hasPrinter()) {
        const PromptAnswer a = Prompts::current().message(
            QCoreApplication::applicationName(),
            QStringLiteral("Nu este instalata nicio imprimanta.\nDoriti sa vedeti raportul in "
                           "previzualizare?"),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::Yes);
        if (a != PromptAnswer::Yes)
            return OutputResult::Cancelled;
        preview = true;
    }
    if (preview) {
        ReportPreview dlg(*model, parent);
        dlg.setPrintOptions(options.copies, options.firstPage, options.lastPage);
        dlg.exec();
        return OutputResult::Done;
    }
    QPrinter defaultPrinter(QPrinter::HighResolution);
    QPrinter& printer = options.printer ? *options.printer : defaultPrinter;
    QString error;
    bool ok;
    {
        WaitCursor wait;
        Progress progress(parent, QStringLiteral("Se tipareste raportul..."));
        ok = printPages(*model, printer, options.copies, options.firstPage, options.lastPage,
                        &error, progress.pages());
    }
    if (ok)
        return OutputResult::Done;
    if (error.isEmpty())
        return OutputResult::Cancelled;
    Prompts::error(error);
    return OutputResult::Failed;
}

} // namespace ReportEngine
