#include "PrintSettings.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFont>
#include <QFormLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <cmath>

namespace {

PrintSettings g_settings;
PrintDevice* g_device = nullptr;

// numerator / denominator (both >= 0, denominator > 0) rounded to the
// nearest whole number, halves to the even neighbour, without the float
// error that would turn an exact half into slightly more or less.
int ratioHalfEven(long long numerator, long long denominator) {
    if (denominator <= 0 || numerator < 0)
        return 0;
    const long long q = numerator / denominator;
    const long long twiceR = 2 * (numerator % denominator);
    if (twiceR > denominator || (twiceR == denominator && (q & 1)))
        return int(q + 1);
    return int(q);
}

struct PaperEntry {
    int printerCode;
    QPageSize::PageSizeId id;
};

// 0 to 23 carry the printer's own codes; the envelopes after them carry
// other codes; 32 stands for a custom size.
const PaperEntry kPapers[PaperTableSize] = {
    {0, QPageSize::Custom},
    {1, QPageSize::Letter},
    {2, QPageSize::LetterSmall},
    {3, QPageSize::Tabloid},
    {4, QPageSize::Ledger},
    {5, QPageSize::Legal},
    {6, QPageSize::Statement},
    {7, QPageSize::ExecutiveStandard},
    {8, QPageSize::A3},
    {9, QPageSize::A4},
    {10, QPageSize::A4Small},
    {11, QPageSize::A5},
    {12, QPageSize::JisB4},
    {13, QPageSize::JisB5},
    {14, QPageSize::FanFoldGermanLegal}, // folio, 8.5 x 13 in
    {15, QPageSize::Quarto},
    {16, QPageSize::Imperial10x14},
    {17, QPageSize::Tabloid}, // 11 x 17 in
    {18, QPageSize::Note},
    {19, QPageSize::Envelope9},
    {20, QPageSize::Comm10E},
    {21, QPageSize::Envelope11},
    {22, QPageSize::Envelope12},
    {23, QPageSize::Envelope14},
    {27, QPageSize::DLE},
    {28, QPageSize::C5E},
    {29, QPageSize::EnvelopeC3},
    {30, QPageSize::EnvelopeC4},
    {31, QPageSize::EnvelopeC6},
    {32, QPageSize::EnvelopeC65},
    {33, QPageSize::EnvelopeB4},
    {34, QPageSize::EnvelopeB5},
    {256, QPageSize::Custom},
};

// Width and height in tenths of a millimetre, smaller side first.
QSize tenthsPortrait(const QSizeF& mm) {
    const int a = qRound(mm.width() * 10), b = qRound(mm.height() * 10);
    return a <= b ? QSize(a, b) : QSize(b, a);
}

} // namespace

PrintSettings& PrintSettings::current() {
    return g_settings;
}

void PrintSettings::reset() {
    g_settings = PrintSettings{};
}

void ApplyBandFont(QFont& font, const PrintSettings& settings) {
    if (!settings.fontName.isEmpty())
        font.setFamily(settings.fontName);
    if (settings.fontSize > 0)
        font.setPointSize(settings.fontSize);
    switch (settings.fontPitch) {
    case FontPitch::Fixed:
        font.setFixedPitch(true);
        font.setStyleHint(QFont::TypeWriter);
        break;
    case FontPitch::Variable:
        font.setFixedPitch(false);
        break;
    case FontPitch::Default:
        break;
    }
}

PrintDevice& PrintDevice::current() {
    if (g_device)
        return *g_device;
    static QPrinterDevice real;
    return real;
}

void PrintDevice::install(PrintDevice* device) {
    g_device = device;
}

QPrinterDevice::QPrinterDevice() : m_printer(new QPrinter(QPrinter::HighResolution)) {}

QPrinterDevice::~QPrinterDevice() {
    delete m_printer;
}

QString QPrinterDevice::printerName() const {
    return m_printer->outputFormat() == QPrinter::NativeFormat ? m_printer->printerName()
                                                               : QString();
}

PrintOrientation QPrinterDevice::orientation() const {
    return m_printer->pageLayout().orientation() == QPageLayout::Landscape
               ? PrintOrientation::Landscape
               : PrintOrientation::Portrait;
}

void QPrinterDevice::setOrientation(PrintOrientation orientation) {
    m_printer->setPageOrientation(orientation == PrintOrientation::Landscape
                                      ? QPageLayout::Landscape
                                      : QPageLayout::Portrait);
}

QPageSize QPrinterDevice::pageSize() const {
    return m_printer->pageLayout().pageSize();
}

bool QPrinterDevice::setPageSize(const QPageSize& size) {
    return m_printer->setPageSize(size);
}

PrinterMetrics QPrinterDevice::metrics() const {
    PrinterMetrics m;
    const int res = m_printer->resolution();
    QPageLayout layout = m_printer->pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QRect full = layout.fullRectPixels(res);
    QMarginsF min = layout.minimumMargins();
#ifndef Q_OS_WIN
    // Outside Windows the driver's printable area is the portrait one
    // whatever the orientation; a landscape page is the portrait page turned
    // a quarter to the left, so its top border is the paper's left one.
    if (layout.orientation() == QPageLayout::Landscape)
        min = QMarginsF(min.bottom(), min.left(), min.top(), min.right());
#endif
    auto px = [res](qreal points) { return int(std::lround(points * res / 72.0)); };
    m.resolutionX = m.resolutionY = res;
    m.pageWidth = full.width();
    m.pageHeight = full.height();
    m.offsetX = px(min.left());
    m.offsetY = px(min.top());
    m.printableWidth = qMax(0, m.pageWidth - m.offsetX - px(min.right()));
    m.printableHeight = qMax(0, m.pageHeight - m.offsetY - px(min.bottom()));
    return m;
}

bool QPrinterDevice::setup(QWidget* parent) {
    if (printerName().isEmpty())
        return pageSetupWithoutPrinter(parent);
    QPrintDialog dlg(m_printer, parent);
    dlg.setWindowTitle(QStringLiteral("Configurare imprimanta"));
    dlg.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    return dlg.exec() == QDialog::Accepted;
}

// Qt's page setup refuses a printer that only writes PDF, so without an
// installed printer the paper and the orientation are asked here.
bool QPrinterDevice::pageSetupWithoutPrinter(QWidget* parent) {
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("PageSetupDlg"));
    dlg.setWindowTitle(QStringLiteral("Configurare pagina"));
    auto* paper = new QComboBox(&dlg);
    paper->setObjectName(QStringLiteral("PaperCombo"));
    const int current = GetPrinterPaper(*this);
    for (int n = 1; n < PaperCustom; ++n) {
        paper->addItem(QPageSize::name(kPapers[n].id), n);
        if (n == current)
            paper->setCurrentIndex(paper->count() - 1);
    }
    auto* portrait = new QRadioButton(QStringLiteral("&Portret"), &dlg);
    auto* landscape = new QRadioButton(QStringLiteral("P&eisaj"), &dlg);
    (orientation() == PrintOrientation::Landscape ? landscape : portrait)->setChecked(true);
    auto* note = new QLabel(
        QStringLiteral("Nu este instalata nicio imprimanta: rapoartele se pot afisa pe ecran "
                       "si salva in PDF."),
        &dlg);
    note->setWordWrap(true);
    auto* buttons = new QDialogButtonBox(&dlg);
    buttons->addButton(QStringLiteral("&OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("&Renunt"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    auto* form = new QFormLayout(&dlg);
    auto* paperLabel = new QLabel(QStringLiteral("&Hartie:"), &dlg);
    paperLabel->setBuddy(paper);
    form->addRow(note);
    form->addRow(paperLabel, paper);
    form->addRow(QStringLiteral("Orientare:"), portrait);
    form->addRow(QString(), landscape);
    form->addRow(buttons);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    SetPrinterPaper(paper->currentData().toInt(), *this);
    setOrientation(landscape->isChecked() ? PrintOrientation::Landscape
                                          : PrintOrientation::Portrait);
    return true;
}

QPrinter* QPrinterDevice::printer() {
    return m_printer;
}

int roundHalfEven(double value) {
    const double f = std::floor(value);
    const double d = value - f;
    if (d > 0.5 || (d == 0.5 && std::fmod(f, 2.0) != 0.0))
        return int(f + 1);
    return int(f);
}

int minimumMarginMm(int pixels, int dpi) {
    // pixels / dpi * 25.4 + 0.5 as the exact fraction (254 p + 5 dpi) / (10 dpi)
    if (dpi <= 0)
        return 0;
    return ratioHalfEven(254LL * qMax(0, pixels) + 5LL * dpi, 10LL * dpi);
}

PrintableArea measurePrintableArea(const PrinterMetrics& m) {
    PrintableArea a;
    a.left = minimumMarginMm(m.offsetX, m.resolutionX);
    a.top = minimumMarginMm(m.offsetY, m.resolutionY);
    a.right = minimumMarginMm(m.pageWidth - m.offsetX - m.printableWidth, m.resolutionX);
    a.bottom = minimumMarginMm(m.pageHeight - m.offsetY - m.printableHeight, m.resolutionY);
    if (m.resolutionX > 0)
        a.paperWidth = ratioHalfEven(254LL * qMax(0, m.pageWidth), 10LL * m.resolutionX);
    if (m.resolutionY > 0)
        a.paperHeight = ratioHalfEven(254LL * qMax(0, m.pageHeight), 10LL * m.resolutionY);
    return a;
}

PrintableArea MeasurePrintableArea(const PrintDevice& device) {
    return measurePrintableArea(device.metrics());
}

int paperPrinterCode(int number) {
    return number >= 0 && number < PaperTableSize ? kPapers[number].printerCode : -1;
}

std::optional<QPageSize> paperPageSize(int number) {
    if (number < 1 || number >= PaperCustom)
        return std::nullopt;
    return QPageSize(kPapers[number].id);
}

int paperNumber(const QPageSize& size) {
    if (!size.isValid())
        return 0;
    if (size.id() == QPageSize::Custom) {
        // A custom size that happens to be a standard one still counts as it.
        const QSize own = tenthsPortrait(size.size(QPageSize::Millimeter));
        for (int n = 1; n < PaperCustom; ++n)
            if (tenthsPortrait(QPageSize::size(kPapers[n].id, QPageSize::Millimeter)) == own)
                return n;
        return PaperCustom;
    }
    for (int n = 1; n < PaperCustom; ++n)
        if (kPapers[n].id == size.id())
            return n;
    return 0;
}

int GetPrinterPaper(const PrintDevice& device) {
    return paperNumber(device.pageSize());
}

bool SetPrinterPaper(int number, PrintDevice& device) {
    const std::optional<QPageSize> size = paperPageSize(number);
    return size && device.setPageSize(*size);
}

MarginsMm effectiveMargins(const PrintSettings& s, const PrintableArea& now) {
    return {qMax(s.marginLeft, qMax(s.minLeft, now.left)),
            qMax(s.marginTop, qMax(s.minTop, now.top)),
            qMax(s.marginRight, qMax(s.minRight, now.right)),
            qMax(s.marginBottom, qMax(s.minBottom, now.bottom))};
}

MarginsMm effectiveMargins(const PrintSettings& settings) {
    return effectiveMargins(settings, MeasurePrintableArea());
}
