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

// The items of one page, in drawing order: those of the shared block it
// draws (if any), then its own.
class PageItems {
public:
    class iterator {
    public:
        using value_type = PageItem;
        using difference_type = std::ptrdiff_t;
        iterator() = default;
        iterator(const PageItem* at, const PageItem* sharedEnd, const PageItem* own)
            : m_at(at), m_sharedEnd(sharedEnd), m_own(own) {}
        const PageItem& operator*() const { return *m_at; }
        const PageItem* operator->() const { return m_at; }
        iterator& operator++() {
            if (++m_at == m_sharedEnd)
                m_at = m_own;
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++*this;
            return before;
        }
        bool operator==(const iterator& o) const { return m_at == o.m_at; }

    private:
        const PageItem* m_at = nullptr;
        const PageItem* m_sharedEnd = nullptr;
        const PageItem* m_own = nullptr;
    };

    PageItems() = default;
    PageItems(std::span<const PageItem> shared, std::span<const PageItem> own)
        : m_shared(shared), m_own(own) {}
    iterator begin() const {
        if (m_shared.empty())
            return {m_own.data(), nullptr, m_own.data()};
        return {m_shared.data(), m_shared.data() + m_shared.size(), m_own.data()};
    }
    iterator end() const { return {m_own.data() + m_own.size(), nullptr, nullptr}; }
    size_t size() const { return m_shared.size() + m_own.size(); }
    bool empty() const { return size() == 0; }

private:
    std::span<const PageItem> m_shared, m_own;
};

// The laid-out report: pages of positioned, already broken text lines and
// shapes. Strings live once in one buffer (repeated lines are stored once);
// fonts in a small table. What many pages draw alike (a form's fixed texts
// and rules) can be kept once as a shared block that each page refers to:
// the PDF writes it once, as a form its pages invoke.
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
    // Everything the page draws: its shared block's items, then its own.
    PageItems page(int index) const;
    // The page's own items alone.
    std::span<const PageItem> ownItems(int index) const;
    // The shared block the page draws; -1 when none.
    int pageBlock(int index) const;
    int blockCount() const { return int(m_blockStart.size()) - 1; }
    std::span<const PageItem> block(int id) const;
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
    // The block of these items, made when no earlier one holds the same.
    int addBlock(std::span<const PageItem> items);
    // The page last started draws block `id`.
    void setPageBlock(int id);
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
    std::vector<PageItem> m_blockItems;
    std::vector<quint32> m_blockStart{0};
    std::vector<qint32> m_pageBlock;
    std::unordered_multimap<size_t, int> m_blocksSeen; // hash -> block
};
