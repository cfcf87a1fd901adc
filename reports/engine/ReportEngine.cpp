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
#include <QPointer>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressDialog>
#include <QTemporaryFile>
#include <QtPrintSupport/qtprintsupportglobal.h>
#include <filesystem>

// A CUPS queue is fed by Qt through a PDF spool file handed over at the end.
#if QT_CONFIG(cups) && defined(TOMBRIX_HAVE_CUPS)
#define SPOOL_TO_QUEUE 1
#include <cups/cups.h>
#else
#define SPOOL_TO_QUEUE 0
#endif

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

namespace {

#ifdef Q_OS_WIN
std::filesystem::path fsPath(const QString& s) {
    return std::filesystem::path(s.toStdWString());
}
#else
std::filesystem::path fsPath(const QString& s) {
    return std::filesystem::path(QFile::encodeName(s).toStdString());
}
#endif

#if SPOOL_TO_QUEUE
// The property under which Qt keeps the options of the CUPS job panel.
constexpr auto CupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// Hands a finished spool file to the printer's queue with the options the
// printer carries (paper, copies, sides, orientation, the job panel's own).
bool submitToQueue(QPrinter& printer, const QString& file, QString* error) {
    std::vector<std::pair<QByteArray, QByteArray>> options;
    const QPageLayout layout = printer.pageLayout();
    options.push_back({"media", layout.pageSize().key().toUtf8()});
    if (printer.copyCount() > 1) {
        options.push_back({"copies", QByteArray::number(printer.copyCount())});
        if (printer.collateCopies())
            options.push_back({"Collate", "True"});
    }
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        options.push_back({"sides", "one-sided"});
        break;
    case QPrinter::DuplexAuto:
        options.push_back({"sides", layout.orientation() == QPageLayout::Portrait
                                        ? "two-sided-long-edge"
                                        : "two-sided-short-edge"});
        break;
    case QPrinter::DuplexLongSide:
        options.push_back({"sides", "two-sided-long-edge"});
        break;
    case QPrinter::DuplexShortSide:
        options.push_back({"sides", "two-sided-short-edge"});
        break;
    }
    if (layout.orientation() == QPageLayout::Landscape)
        options.push_back({"landscape", ""});
    const QStringList own = printer.printEngine()->property(CupsOptionsKey).toStringList();
    for (int i = 0; i + 1 < own.size(); i += 2)
        options.push_back({own.at(i).toUtf8(), own.at(i + 1).toUtf8()});
    std::vector<cups_option_t> list;
    for (auto& o : options)
        list.push_back({o.first.data(), o.second.data()});
    // The queue's name without the instance ("queue/instance").
    const QByteArray queue = printer.printerName().section(QLatin1Char('/'), 0, 0).toUtf8();
    const int job = cupsPrintFile(queue.constData(), QFile::encodeName(file).constData(),
                                  printer.docName().toUtf8().constData(), int(list.size()),
                                  list.empty() ? nullptr : list.data());
    if (job > 0)
        return true;
    *error = QStringLiteral("Imprimanta \"%1\" nu a primit lucrarea:\n%2")
                 .arg(printer.printerName(), QString::fromUtf8(cupsLastErrorString()));
    return false;
}
#endif

// Where the pages go while they are painted: a printer that writes a file
// gets a file next to it, renamed over it when every page is done; a CUPS
// queue gets a spool file that is handed over when every page is done.
// Either way a cancel or a failure sends nothing and leaves an older file
// as it was. Other printers (Windows) are painted on directly.
class Spool {
public:
    explicit Spool(QPrinter& printer) : m_printer(printer), m_target(printer.outputFileName()) {
        if (!m_target.isEmpty()) {
            m_path = m_target + QStringLiteral(".tombrix-tmp");
        }
#if SPOOL_TO_QUEUE
        else if (printer.outputFormat() == QPrinter::NativeFormat) {
            QTemporaryFile tmp(QDir::temp().filePath(QStringLiteral("tombrix-XXXXXX.spool")));
            tmp.setAutoRemove(false);
            if (tmp.open())
                m_path = tmp.fileName();
            m_toQueue = !m_path.isEmpty();
        }
#endif
        if (!m_path.isEmpty())
            printer.setOutputFileName(m_path); // the format stays as it was
    }
    ~Spool() {
        if (m_path.isEmpty())
            return;
        m_printer.setOutputFileName(m_target);
        QFile::remove(m_path);
    }
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // True when nothing has reached the printer before finish().
    bool holdsPages() const {
        return !m_path.isEmpty();
    }

    bool finish(QString* error) {
        if (m_path.isEmpty())
            return true;
#if SPOOL_TO_QUEUE
        if (m_toQueue)
            return submitToQueue(m_printer, m_path, error);
#endif
        std::error_code ec;
        std::filesystem::rename(fsPath(m_path), fsPath(m_target), ec);
        if (!ec)
            return true;
        *error = QStringLiteral("Nu pot scrie fisierul \"%1\":\n%2")
                     .arg(QDir::toNativeSeparators(m_target),
                          QString::fromLocal8Bit(ec.message().c_str()));
        return false;
    }

private:
    QPrinter& m_printer;
    QString m_target;
    QString m_path;
    bool m_toQueue = false;
};

} // namespace

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
    Spool spool(printer);
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
                if (spool.holdsPages()) {
                    p.end(); // ends the spool file only; it is removed unsent
                    return false;
                }
                const bool taken = printer.abort();
                p.end();
                if (!taken)
                    *error = QStringLiteral(
                        "Imprimanta nu poate retrage lucrarea inceputa: paginile trimise "
                        "deja pot fi tiparite.");
                return false;
            }
        }
    }
    if (!p.end()) {
        *error = QStringLiteral("Tiparirea nu s-a putut incheia.");
        return false;
    }
    return spool.finish(error);
}

bool writePdf(const PageModel& model, const QString& path, QString* error,
              const PageProgress& progress) {
    error->clear();
    const auto cannotWrite = [&](const OwnSaveFile& file) {
        *error = QStringLiteral("Nu pot scrie fisierul \"%1\":\n%2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    };
    // A file not committed is removed with its OwnSaveFile, so a second try starts clean.
    OwnSaveFile file(path);
    if (!file.open())
        return cannotWrite(file);
    switch (PdfOutput::write(model, file.device(), error, progress)) {
    case PdfOutput::Result::Written:
        return file.commit() || cannotWrite(file);
    case PdfOutput::Result::Cancelled:
        return false;
    case PdfOutput::Result::Failed:
        break;
    }
    // The writer says why: the device's error, or a font it cannot embed.
    *error = QStringLiteral("Nu pot scrie fisierul \"%1\":\n%2")
                 .arg(QDir::toNativeSeparators(path), *error);
    return false;
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
    if (!preview && !options.printer && !hasPrinter()) {
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
        dlg.setPrinter(options.printer);
        if (options.writeSheet)
            dlg.setSheetWriter(options.writeSheet);
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
