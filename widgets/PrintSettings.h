#pragma once

#include <QPageSize>
#include <QString>
#include <optional>

class QFont;
class QPrinter;
class QWidget;

enum class FontPitch { Default, Variable, Fixed };
enum class PrintOrientation { Portrait = 0, Landscape = 1 };

// The print parameters shared by every report for the whole run. Nothing of
// them is saved to disk.
struct PrintSettings {
    static constexpr int MaxFontNameLength = 30;

    QString fontName; // empty: chosen from the printer when the dialog opens
    int fontSize = 10;
    FontPitch fontPitch = FontPitch::Default;
    bool preview = false;
    int copies = 1;
    int firstPage = 0; // 0 and 0: all pages
    int lastPage = 0;
    PrintOrientation orientation = PrintOrientation::Portrait;
    int paperSize = 0; // a number of the paper table; 0 the printer's own paper
    int marginTop = 5, marginLeft = 5, marginBottom = 5, marginRight = 5; // mm
    int minTop = 0, minLeft = 0, minBottom = 0, minRight = 0;             // mm, measured

    // The values of this run.
    static PrintSettings& current();
    // Back to the values of a fresh start (tests).
    static void reset();
};

// Sets a band's font to the font name, size and pitch of the settings; an
// empty name keeps the band's family.
void ApplyBandFont(QFont& font, const PrintSettings& settings = PrintSettings::current());

// What the printer driver reports, in device pixels, for the current paper
// and orientation: where the printable area starts, its size, the page size
// and the resolutions.
struct PrinterMetrics {
    int offsetX = 0, offsetY = 0;
    int resolutionX = 0, resolutionY = 0; // dots per inch
    int pageWidth = 0, pageHeight = 0;
    int printableWidth = 0, printableHeight = 0;
};

// The currently selected printer as the print setup needs it. The program
// uses one over QPrinter; tests install one with any unprintable border.
class PrintDevice {
public:
    virtual ~PrintDevice() = default;

    // Empty when no printer is installed.
    virtual QString printerName() const = 0;
    virtual PrintOrientation orientation() const = 0;
    virtual void setOrientation(PrintOrientation orientation) = 0;
    // An invalid page size when the printer reports none.
    virtual QPageSize pageSize() const = 0;
    virtual bool setPageSize(const QPageSize& size) = 0;
    virtual PrinterMetrics metrics() const = 0;
    // The printer setup (printer, paper, orientation); true when accepted.
    virtual bool setup(QWidget* parent) = 0;
    // The printer to print on; nullptr for a device that cannot print.
    virtual QPrinter* printer() { return nullptr; }

    static PrintDevice& current();
    // Installs a replacement (not owned); nullptr restores the real printer.
    static void install(PrintDevice* device);
};

// The real printer: the system's default one, or a PDF writer when none is
// installed, so that nothing depends on a printer being present.
class QPrinterDevice : public PrintDevice {
public:
    QPrinterDevice();
    ~QPrinterDevice() override;
    QString printerName() const override;
    PrintOrientation orientation() const override;
    void setOrientation(PrintOrientation orientation) override;
    QPageSize pageSize() const override;
    bool setPageSize(const QPageSize& size) override;
    PrinterMetrics metrics() const override;
    bool setup(QWidget* parent) override;
    QPrinter* printer() override;

private:
    bool pageSetupWithoutPrinter(QWidget* parent);

    QPrinter* m_printer;
};

// The printable area in whole millimetres.
struct PrintableArea {
    int left = 0, top = 0, right = 0, bottom = 0; // minimum margins
    int paperWidth = 0, paperHeight = 0;
};

// Nearest whole number, halves to the even neighbour.
int roundHalfEven(double value);
// The unprintable border of `pixels` at `dpi` in whole millimetres: any
// fraction goes up; an exact even number stays, an exact odd one gains one.
int minimumMarginMm(int pixels, int dpi);
PrintableArea measurePrintableArea(const PrinterMetrics& m);
PrintableArea MeasurePrintableArea(const PrintDevice& device = PrintDevice::current());

// The paper table: numbers 0 to 32. 0 is the printer's own paper, 32 a
// custom size; the others name a standard paper.
constexpr int PaperTableSize = 33;
constexpr int PaperCustom = 32;
constexpr int PaperA4 = 9;
// The printer's paper code of a number (the same for 0 to 23), -1 outside.
int paperPrinterCode(int number);
// The page size of a number from 1 to 31; none otherwise.
std::optional<QPageSize> paperPageSize(int number);
// The number of a page size: 0 when it is not in the table or invalid.
int paperNumber(const QPageSize& size);
int GetPrinterPaper(const PrintDevice& device = PrintDevice::current());
// Sets the printer's paper for a number from 1 to 31; false otherwise.
bool SetPrinterPaper(int number, PrintDevice& device = PrintDevice::current());

// The margins a report prints with: those asked for, each raised to the
// minimum kept in the settings and to the printer's minimum now.
struct MarginsMm {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const MarginsMm&) const = default;
};
MarginsMm effectiveMargins(const PrintSettings& settings, const PrintableArea& printerNow);
MarginsMm effectiveMargins(const PrintSettings& settings = PrintSettings::current());
