#include "ReportPreview.h"

#include "Guard.h"
#include "PagePainter.h"
#include "Prompts.h"
#include "ReportEngine.h"
#include "WaitCursor.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <cmath>
#include <optional>

namespace {
constexpr int Gap = 12;
constexpr size_t CachedPages = 8;
constexpr double MinZoom = 0.5, MaxZoom = 20.0; // px per mm
} // namespace

PreviewArea::PreviewArea(const PageModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), m_model(model) {
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(24);
    horizontalScrollBar()->setSingleStep(24);
}

QSize PreviewArea::pageSize() const {
    return QSize(int(std::lround(m_model.paperMm.width() * m_pxPerMm)),
                 int(std::lround(m_model.paperMm.height() * m_pxPerMm)));
}

int PreviewArea::pageTop(int page) const {
    return Gap + page * (pageSize().height() + Gap);
}

void PreviewArea::setPxPerMm(double value) {
    value = std::clamp(value, MinZoom, MaxZoom);
    const int page = currentPage();
    m_pxPerMm = value;
    m_cache.clear();
    updateScrollBars();
    goToPage(page);
    viewport()->update();
    emit zoomChanged();
}

void PreviewArea::fitWidth() {
    m_fit = Fit::Width;
    setPxPerMm((viewport()->width() - 2.0 * Gap) / m_model.paperMm.width());
}

void PreviewArea::fitPage() {
    m_fit = Fit::Page;
    setPxPerMm(std::min((viewport()->width() - 2.0 * Gap) / m_model.paperMm.width(),
                        (viewport()->height() - 2.0 * Gap) / m_model.paperMm.height()));
}

int PreviewArea::currentPage() const {
    if (m_model.pageCount() == 0)
        return 0;
    const int step = pageSize().height() + Gap;
    const int page = (verticalScrollBar()->value() + step / 3) / std::max(1, step);
    return std::clamp(page, 0, m_model.pageCount() - 1);
}

void PreviewArea::goToPage(int page) {
    page = std::clamp(page, 0, std::max(0, m_model.pageCount() - 1));
    verticalScrollBar()->setValue(pageTop(page) - Gap);
    viewport()->update();
}

void PreviewArea::updateScrollBars() {
    const QSize ps = pageSize();
    const int contentH = Gap + m_model.pageCount() * (ps.height() + Gap);
    const int contentW = ps.width() + 2 * Gap;
    verticalScrollBar()->setRange(0, std::max(0, contentH - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    horizontalScrollBar()->setRange(0, std::max(0, contentW - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

const QImage& PreviewArea::pageImage(int page) {
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it) {
        if (it->first == page) {
            m_cache.splice(m_cache.begin(), m_cache, it);
            return m_cache.front().second;
        }
    }
    const qreal dpr = devicePixelRatioF();
    QImage img(pageSize() * dpr, QImage::Format_RGB32);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    {
        QPainter p(&img);
        PagePainter::paint(p, m_model, page, m_pxPerMm, m_pxPerMm, &m_shaped);
    }
    ++m_painted;
    m_cache.emplace_front(page, std::move(img));
    if (m_cache.size() > CachedPages)
        m_cache.pop_back();
    return m_cache.front().second;
}

void PreviewArea::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), QColor(128, 128, 128));
    if (m_model.pageCount() == 0)
        return;
    const QSize ps = pageSize();
    const int vs = verticalScrollBar()->value();
    const int x =
        std::max(Gap, (viewport()->width() - ps.width()) / 2) - horizontalScrollBar()->value();
    const int step = ps.height() + Gap;
    for (int i = std::max(0, (vs - Gap) / std::max(1, step)); i < m_model.pageCount(); ++i) {
        const int y = pageTop(i) - vs;
        if (y >= viewport()->height())
            break;
        if (y + ps.height() < 0)
            continue;
        p.fillRect(QRect(QPoint(x + 3, y + 3), ps), QColor(70, 70, 70));
        p.drawImage(QPoint(x, y), pageImage(i));
    }
}

void PreviewArea::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    if (m_fit == Fit::Width)
        fitWidth();
    else if (m_fit == Fit::Page)
        fitPage();
    else
        updateScrollBars();
}

void PreviewArea::scrollContentsBy(int, int) {
    viewport()->update();
    const int page = currentPage();
    if (page != m_lastReported) {
        m_lastReported = page;
        emit currentPageChanged(page);
    }
}

void PreviewArea::keyPressEvent(QKeyEvent* event) {
    const int last = std::max(0, m_model.pageCount() - 1);
    switch (event->key()) {
    case Qt::Key_PageDown:
        goToPage(currentPage() + 1);
        break;
    case Qt::Key_PageUp:
        goToPage(currentPage() - 1);
        break;
    case Qt::Key_Home:
        goToPage(0);
        break;
    case Qt::Key_End:
        goToPage(last);
        break;
    case Qt::Key_Plus:
        m_fit = Fit::None;
        setPxPerMm(m_pxPerMm * 1.25);
        break;
    case Qt::Key_Minus:
        m_fit = Fit::None;
        setPxPerMm(m_pxPerMm / 1.25);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

ReportPreview::ReportPreview(const PageModel& model, QWidget* parent)
    : QDialog(parent), m_model(model) {
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(model.title.isEmpty() ? QStringLiteral("Previzualizare") : model.title);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    m_area = new PreviewArea(model, this);
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("PageBox"));
    m_pageBox->setRange(1, std::max(1, model.pageCount()));
    m_pageBox->setKeyboardTracking(false);
    m_zoomLabel = new QLabel(this);

    auto button = [this](const QString& text, const QString& tip, auto slot) {
        auto* b = new QPushButton(text, this);
        b->setToolTip(tip);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, slot] {
            guarded(slot);
            m_area->setFocus();
        });
        return b;
    };
    auto* bar = new QHBoxLayout;
    bar->addWidget(button(QStringLiteral("|<"), QStringLiteral("Prima pagina (Home)"),
                          [this] { showPage(0); }));
    bar->addWidget(button(QStringLiteral("<"), QStringLiteral("Pagina anterioara (Page Up)"),
                          [this] { showPage(m_area->currentPage() - 1); }));
    bar->addWidget(new QLabel(QStringLiteral("Pagina"), this));
    bar->addWidget(m_pageBox);
    bar->addWidget(new QLabel(QStringLiteral("din %1").arg(model.pageCount()), this));
    bar->addWidget(button(QStringLiteral(">"), QStringLiteral("Pagina urmatoare (Page Down)"),
                          [this] { showPage(m_area->currentPage() + 1); }));
    bar->addWidget(button(QStringLiteral(">|"), QStringLiteral("Ultima pagina (End)"),
                          [this] { showPage(m_model.pageCount() - 1); }));
    bar->addSpacing(16);
    bar->addWidget(
        button(QStringLiteral("&Latime pagina"), QString(), [this] { m_area->fitWidth(); }));
    bar->addWidget(
        button(QStringLiteral("Pagina &intreaga"), QString(), [this] { m_area->fitPage(); }));
    bar->addWidget(button(QStringLiteral("-"), QStringLiteral("Micsoreaza (-)"),
                          [this] { m_area->setPxPerMm(m_area->pxPerMm() / 1.25); }));
    bar->addWidget(button(QStringLiteral("+"), QStringLiteral("Mareste (+)"),
                          [this] { m_area->setPxPerMm(m_area->pxPerMm() * 1.25); }));
    bar->addWidget(m_zoomLabel);
    bar->addStretch();
    bar->addWidget(button(QStringLiteral("&Printeaza"), QString(), [this] { printReport(); }));
    bar->addWidget(button(QStringLiteral("&Salveaza PDF"), QString(), [this] { savePdf(); }));
    m_sheetButton = button(QStringLiteral("Salveaza &Excel"),
                           QStringLiteral("Foaie de calcul .xlsx cu randurile listei"),
                           [this] { saveSheet(); });
    m_sheetButton->setObjectName(QStringLiteral("SheetButton"));
    m_sheetButton->hide();
    bar->addWidget(m_sheetButton);
    bar->addWidget(button(QStringLiteral("Inchide"), QStringLiteral("Esc"), [this] { reject(); }));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addLayout(bar);
    layout->addWidget(m_area, 1);

    connect(m_area, &PreviewArea::currentPageChanged, this, [this](int page) {
        const QSignalBlocker block(m_pageBox);
        m_pageBox->setValue(page + 1);
    });
    connect(m_area, &PreviewArea::zoomChanged, this, [this] {
        m_zoomLabel->setText(
            QStringLiteral("%1%").arg(std::lround(m_area->pxPerMm() * 25.4 / 96.0 * 100)));
    });
    connect(m_pageBox, &QSpinBox::editingFinished, this, [this] {
        showPage(m_pageBox->value() - 1);
        m_area->setFocus();
    });
    resize(1000, 820);
    m_area->setFocus();
}

void ReportPreview::setPrintOptions(int copies, int firstPage, int lastPage) {
    m_copies = copies;
    m_first = firstPage;
    m_last = lastPage;
}

void ReportPreview::showPage(int page) {
    m_area->goToPage(page);
}

void ReportPreview::printReport() {
    if (!m_printer && !ReportEngine::hasPrinter()) {
        Prompts::warning(QStringLiteral(
            "Nu este instalata nicio imprimanta.\nRaportul poate fi salvat ca PDF."));
        return;
    }
    // The printer chosen in the print setup, with its paper and copies.
    std::optional<QPrinter> own;
    if (!m_printer)
        own.emplace(QPrinter::HighResolution);
    QPrinter& printer = m_printer ? *m_printer : *own;
    printer.setDocName(m_model.title);
    printer.setCopyCount(std::max(1, m_copies));
    printer.setPrintRange(QPrinter::AllPages);
    if (m_first > 0 || m_last > 0) {
        const auto [first, last] = ReportEngine::pageRange(m_model, m_first, m_last);
        printer.setPrintRange(QPrinter::PageRange);
        printer.setFromTo(first, last);
    }
    const bool accepted = askPrint ? askPrint(printer) : [&] {
        QPrintDialog dlg(&printer, this);
        dlg.setMinMax(1, m_model.pageCount());
        return dlg.exec() == QDialog::Accepted;
    }();
    if (!accepted)
        return;
    int first = 0, last = 0;
    if (printer.printRange() == QPrinter::PageRange) {
        first = printer.fromPage();
        last = printer.toPage();
    }
    const int copies = printer.copyCount();
    QString error;
    bool ok;
    {
        WaitCursor wait;
        ReportEngine::Progress progress(this, QStringLiteral("Se tipareste raportul..."));
        ok = ReportEngine::printPages(m_model, printer, copies, first, last, &error,
                                      progress.pages());
    }
    if (!ok && !error.isEmpty())
        Prompts::error(error);
}

namespace {
QString g_lastPdfDir; // for the whole run of the program
} // namespace

QString ReportPreview::pdfProposal() const {
    QString dir = g_lastPdfDir;
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty())
        dir = QDir::homePath();
    const QString name = (m_model.title.isEmpty() ? QStringLiteral("Raport") : m_model.title) +
                         QStringLiteral(".pdf");
    return QDir(dir).filePath(name);
}

void ReportPreview::savePdf() {
    QString path =
        askPdfPath
            ? askPdfPath()
            : QFileDialog::getSaveFileName(this, QStringLiteral("Salveaza PDF"), pdfProposal(),
                                           QStringLiteral("Documente PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    g_lastPdfDir = QFileInfo(path).absolutePath();
    QString error;
    bool ok;
    {
        WaitCursor wait;
        ReportEngine::Progress progress(this, QStringLiteral("Se scrie fisierul PDF..."));
        ok = ReportEngine::writePdf(m_model, path, &error, progress.pages());
    }
    if (!ok && !error.isEmpty())
        Prompts::error(error);
}

void ReportPreview::setSheetWriter(SheetWriter writer) {
    m_writeSheet = std::move(writer);
    m_sheetButton->setVisible(bool(m_writeSheet));
}

QString ReportPreview::sheetProposal() const {
    QString path = pdfProposal();
    return path.left(path.size() - 4) + QStringLiteral(".xlsx");
}

void ReportPreview::saveSheet() {
    if (!m_writeSheet)
        return;
    QString path =
        askSheetPath
            ? askSheetPath()
            : QFileDialog::getSaveFileName(this, QStringLiteral("Salveaza Excel"), sheetProposal(),
                                           QStringLiteral("Foaie de calcul Excel (*.xlsx)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".xlsx");
    g_lastPdfDir = QFileInfo(path).absolutePath();
    QString error;
    bool ok;
    {
        WaitCursor wait;
        ReportEngine::Progress progress(this, QStringLiteral("Se scrie foaia de calcul..."));
        ok = m_writeSheet(path, progress.rows(-1), &error);
    }
    if (!ok && !error.isEmpty())
        Prompts::error(error);
}
