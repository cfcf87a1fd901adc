#pragma once

#include <QFont>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <span>
#include <unordered_map>
#include <vector>

// One thing drawn on a page, in mm from the paper's top-left corner. Kept
// small (24 bytes) because a long report holds millions of them.
struct PageItem {
    enum Kind : quint8 { Text, PageNumberText, Rect, Line };
    float x = 0, y = 0, w = 0, h = 0; // Line: from (x, y) to (x + w, y + h)
    quint32 text = 0;                 // Text: the line; PageNumberText: the prefix
    quint16 style = 0;                // Text: font index; shapes: pen width in 0.01 mm
    Kind kind = Text;
    quint8 align = 0; // Align
};

// The laid-out report: pages of positioned, already broken text lines and
// shapes. Strings live once in one buffer (repeated lines are stored once);
// fonts in a small table.
class PageModel {
public:
    // Fonts are sized in pixels of this reference resolution, so that the
    // lines measured at layout are the lines every output draws.
    static constexpr double ReferenceDpi = 720.0;
    static double mmToRef(double mm) { return mm * ReferenceDpi / 25.4; }
    static double refToMm(double px) { return px * 25.4 / ReferenceDpi; }

    QSizeF paperMm; // as oriented
    QPageSize pageSize{QPageSize::A4};
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString title;

    int pageCount() const { return int(m_pageStart.size()); }
    std::span<const PageItem> page(int index) const;
    QString string(quint32 id) const;
    QStringView stringView(quint32 id) const;
    // The text an item shows (page numbers resolved); empty for shapes.
    QString itemText(int page, const PageItem& item) const;
    // All the texts of a page, in placing order, one per line.
    QStringList pageTexts(int page) const;
    const QFont& font(quint16 index) const { return m_fonts[index]; }
    int fontCount() const { return int(m_fonts.size()); }

    void startPage();
    void add(const PageItem& item) { m_items.push_back(item); }
    quint32 addString(QStringView text);
    quint16 addFont(const QFont& referenceFont);

    // Bytes held, to keep an eye on very long reports.
    size_t memoryBytes() const;
    void squeeze();

private:
    std::vector<PageItem> m_items;
    std::vector<quint32> m_pageStart;
    std::vector<char16_t> m_chars;
    std::vector<quint32> m_stringStart{0};
    std::unordered_map<size_t, quint32> m_seen; // hash -> first string with it
    std::vector<QFont> m_fonts;
};
