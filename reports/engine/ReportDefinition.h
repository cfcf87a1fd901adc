#pragma once

#include <QFont>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

// What a print hook sees: the values of the row being printed (for a group
// footer, the last row of its group) and the page it goes on.
class PrintContext {
public:
    QVariant value(const QString& field) const;
    bool hasField(const QString& field) const { return m_names && m_names->contains(field); }
    int pageNumber() const { return m_page; }

private:
    friend class LayoutPass;
    friend class SheetPass;
    const QStringList* m_names = nullptr;
    const QVariantList* m_row = nullptr;
    int m_page = 0;
};

enum class ElementKind {
    Label,      // fixed text, or set by a print hook
    DataText,   // a field of the row, through its display format
    SystemDate, // today's date
    PageNumber, // `text` followed by the page number
    Total,      // sum of a numeric field over the printed details since its reset
    Memo,       // multi-line text
    Rectangle,
    VLine,
    HLine,
    Grid, // ruled grid of `gridColumns` equal columns and `gridRowHeights` rows
};

enum class Align : quint8 { Left, Center, Right };

// How a text element's value goes into a spreadsheet cell. Auto: a date
// value as a date, anything else as the printed text (so personal codes and
// receipt numbers stay texts).
enum class SheetKind : quint8 {
    Auto,
    Text,
    Amount, // a number with two decimals
    Date,   // a date, also from stored date text
    Count,  // a whole number, such as a row's number
};

// One element of a band; positions and sizes in mm from the band's top-left.
struct Element {
    ElementKind kind = ElementKind::Label;
    double left = 0, top = 0, width = 0, height = 0;
    QString text;              // label, memo, page number prefix
    QString field;             // data text, total
    std::optional<QFont> font; // unset: the report's base font
    Align align = Align::Left;
    bool wordWrap = false; // break into lines within the width
    // Texts: wrap and grow the band downwards, pushing what lies below.
    // Shapes: follow the band's growth (ruled rows of stretching details).
    bool stretch = false;
    bool resetAfterPrint = false;                                    // totals
    double penWidth = 0.2;                                           // shapes, mm
    std::function<QString(const QVariant&)> format;                  // data text display format
    std::function<QVariant(const PrintContext&)> valueOf;            // data text from elsewhere
    std::function<void(QString& text, const PrintContext&)> onPrint; // label print hook
    // In the spreadsheet: a column heading (written once above the rows)
    // rather than a title line or a group's text, and the cell kind.
    bool heading = false;
    SheetKind sheetAs = SheetKind::Auto;
    int gridColumns = 0;
    std::vector<double> gridRowHeights;
    std::vector<QString> gridCells; // row-major; missing cells stay blank

    static Element label(double left, double top, double width, double height, const QString& text);
    static Element data(double left, double top, double width, double height, const QString& field);
    static Element memo(double left, double top, double width, double height, const QString& text);
    static Element date(double left, double top, double width, double height);
    static Element pageNumber(double left, double top, double width, double height,
                              const QString& prefix = QStringLiteral("Pagina  "));
    static Element total(double left, double top, double width, double height, const QString& field,
                         bool resetAfterPrint);
    static Element rect(double left, double top, double width, double height);
    static Element vline(double x, double top, double height);
    static Element hline(double left, double y, double width);

    Element& withFont(const QFont& f) {
        font = f;
        return *this;
    }
    Element& aligned(Align a) {
        align = a;
        return *this;
    }
    Element& stretching() {
        stretch = true;
        wordWrap = true;
        return *this;
    }
    Element& stretchingShape() {
        stretch = true;
        return *this;
    }
    Element& asHeading() {
        heading = true;
        return *this;
    }
    Element& inSheetAs(SheetKind k) {
        sheetAs = k;
        return *this;
    }
};

struct Band {
    double height = 0; // design height, mm
    std::vector<Element> elements;
    bool forceNewPage = false;
    // Returning false suppresses the band: nothing of it prints, none of its
    // elements' hooks run, its children do not print, totals do not count it.
    std::function<bool(const PrintContext&)> beforePrint;
    std::function<void(const PrintContext&)> afterPrint;
    // Printed directly after this band, in order, only when it printed.
    std::vector<Band> children;

    Element& add(const Element& e) {
        elements.push_back(e);
        return elements.back();
    }
};

struct Group {
    QString key; // field of the rows; the header prints again when it changes
    Band header;
    std::optional<Band> footer; // printed after the last row of the group
};

// A spreadsheet column given by the report itself, for a report whose
// detail band is not a ruled row (a form per row).
struct SheetColumn {
    QString heading;
    QString field;                                        // a field of the row
    std::function<QVariant(const PrintContext&)> valueOf; // or a value made from the row
    SheetKind kind = SheetKind::Auto;
};

struct ReportDefinition {
    QString title;
    QFont baseFont{QStringLiteral("Arial"), 8};
    QPageSize pageSize{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QMarginsF marginsMm{10, 10, 10, 10};
    bool printIfEmpty = false; // off: no rows give no pages
    // On: the report is a form filled in once per page (a decision). What
    // does not depend on the row (labels without a print hook, memos,
    // rules, grids, today's date) is kept once as a block that every page
    // showing the same draws; the PDF writes it once.
    bool sharedForm = false;

    std::optional<Band> pageHeader;
    std::optional<Band> columnHeader;
    std::vector<Group> groups; // outermost first
    Band detail;
    std::optional<Band> summary;
    std::optional<Band> pageFooter;
    // Set: the spreadsheet's columns; empty: the detail band's texts under
    // the headings they stand below (ReportSheet).
    std::vector<SheetColumn> sheetColumns;

    // Paper size in mm as oriented.
    QSizeF paperMm() const;
};
