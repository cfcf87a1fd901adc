#pragma once

#include "PageModel.h"
#include "PagePainter.h"
#include "ReportLayout.h"

#include <QAbstractScrollArea>
#include <QDialog>
#include <QImage>
#include <functional>
#include <list>

class QLabel;
class QPrinter;
class QSpinBox;
class QPushButton;

// The scrolled column of pages. Only pages that come into view are painted,
// and a few recent ones are kept as images.
class PreviewArea : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit PreviewArea(const PageModel& model, QWidget* parent = nullptr);

    double pxPerMm() const { return m_pxPerMm; }
    void setPxPerMm(double value);
    void fitWidth();
    void fitPage();
    int currentPage() const; // 0-based, the page at the top of the view
    void goToPage(int page);
    int paintedPages() const { return m_painted; }

signals:
    void currentPageChanged(int page);
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    enum class Fit { None, Width, Page };
    QSize pageSize() const;
    int pageTop(int page) const;
    void updateScrollBars();
    const QImage& pageImage(int page);

    const PageModel& m_model;
    double m_pxPerMm = 3.0;
    Fit m_fit = Fit::Width;
    int m_lastReported = -1;
    int m_painted = 0;
    std::list<std::pair<int, QImage>> m_cache; // most recent first
    PagePainter::ShapedLines m_shaped;         // headings repeat page after page
};

// The report's preview window: pages on demand, navigation, zoom, printing
// and saving as PDF. Esc closes it.
class ReportPreview : public QDialog {
    Q_OBJECT
public:
    explicit ReportPreview(const PageModel& model, QWidget* parent = nullptr);

    void setPrintOptions(int copies, int firstPage, int lastPage);
    // The printer chosen for the run; nullptr: the system's default printer.
    void setPrinter(QPrinter* printer) { m_printer = printer; }
    PreviewArea* area() const { return m_area; }
    // Asks where to save the PDF; replaceable so that tests need no dialog.
    std::function<QString()> askPdfPath;
    // Shows the print dialog for `printer`; replaceable so that tests need no dialog.
    std::function<bool(QPrinter& printer)> askPrint;
    // Where "Salveaza PDF" proposes to save: the documents folder at first,
    // then the folder used last.
    QString pdfProposal() const;

    // Writes the report as a spreadsheet at the path given; false with a
    // message on failure, false without one when cancelled. Until one is
    // set, "Salveaza Excel" is hidden.
    using SheetWriter =
        std::function<bool(const QString& path, const LayoutProgress& progress, QString* error)>;
    void setSheetWriter(SheetWriter writer);
    // Asks where to save the spreadsheet; replaceable so that tests need no dialog.
    std::function<QString()> askSheetPath;
    // The same place as the PDF's, as .xlsx.
    QString sheetProposal() const;

    void printReport();
    void savePdf();
    void saveSheet();

private:
    void showPage(int page);

    const PageModel& m_model;
    PreviewArea* m_area;
    QSpinBox* m_pageBox;
    QLabel* m_zoomLabel;
    int m_copies = 1, m_first = 0, m_last = 0;
    QPrinter* m_printer = nullptr;
    SheetWriter m_writeSheet;
    QPushButton* m_sheetButton;
};
