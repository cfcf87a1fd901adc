#include "PageModel.h"

#include <QHashFunctions>
#include <algorithm>
#include <cstring>

// Blocks are compared and hashed as bytes: no padding in an item.
static_assert(sizeof(PageItem) == 24);

PageItems PageModel::page(int index) const {
    if (index < 0 || index >= pageCount())
        return {};
    return {block(m_pageBlock[size_t(index)]), ownItems(index)};
}

int PageModel::pageBlock(int index) const {
    if (index < 0 || index >= pageCount())
        return -1;
    return m_pageBlock[size_t(index)];
}

std::span<const PageItem> PageModel::block(int id) const {
    if (id < 0 || id >= blockCount())
        return {};
    return {m_blockItems.data() + m_blockStart[size_t(id)],
            m_blockStart[size_t(id) + 1] - m_blockStart[size_t(id)]};
}

int PageModel::addBlock(std::span<const PageItem> items) {
    const size_t h = qHashBits(items.data(), items.size_bytes());
    const auto [first, last] = m_blocksSeen.equal_range(h);
    for (auto it = first; it != last; ++it) {
        const std::span<const PageItem> known = block(it->second);
        if (known.size() == items.size() &&
            std::memcmp(known.data(), items.data(), items.size_bytes()) == 0)
            return it->second;
    }
    m_blockItems.insert(m_blockItems.end(), items.begin(), items.end());
    m_blockStart.push_back(quint32(m_blockItems.size()));
    const int id = blockCount() - 1;
    m_blocksSeen.emplace(h, id);
    return id;
}

void PageModel::setPageBlock(int id) {
    if (!m_pageBlock.empty())
        m_pageBlock.back() = id;
}

std::span<const PageItem> PageModel::ownItems(int index) const {
    if (index < 0 || index >= pageCount())
        return {};
    const size_t begin = m_pageStart[size_t(index)];
    const size_t end =
        size_t(index + 1) < m_pageStart.size() ? m_pageStart[size_t(index + 1)] : m_items.size();
    return {m_items.data() + begin, end - begin};
}

QString PageModel::string(quint32 id) const {
    if (id + 1 >= m_stringStart.size())
        return {};
    const quint32 b = m_stringStart[id], e = m_stringStart[id + 1];
    return QString(reinterpret_cast<const QChar*>(m_chars.data() + b), qsizetype(e - b));
}

QStringView PageModel::stringView(quint32 id) const {
    if (id + 1 >= m_stringStart.size())
        return {};
    const quint32 b = m_stringStart[id], e = m_stringStart[id + 1];
    return QStringView(m_chars.data() + b, qsizetype(e - b));
}

QString PageModel::itemText(int page, const PageItem& item) const {
    if (item.kind == PageItem::Text)
        return string(item.text);
    if (item.kind == PageItem::PageNumberText)
        return string(item.text) + QString::number(page + 1);
    return {};
}

QStringList PageModel::pageTexts(int index) const {
    QStringList out;
    for (const PageItem& it : page(index)) {
        if (it.kind == PageItem::Text || it.kind == PageItem::PageNumberText)
            out << itemText(index, it);
    }
    return out;
}

void PageModel::startPage() {
    m_pageStart.push_back(quint32(m_items.size()));
    m_pageBlock.push_back(-1);
}

quint32 PageModel::addString(QStringView text) {
    const size_t h = qHash(text, 0);
    auto found = m_seen.find(h);
    if (found != m_seen.end()) {
        const quint32 id = found->second;
        const quint32 b = m_stringStart[id], e = m_stringStart[id + 1];
        if (qsizetype(e - b) == text.size() &&
            std::equal(text.begin(), text.end(), m_chars.begin() + b,
                       [](QChar a, char16_t c) { return a.unicode() == c; }))
            return id;
    }
    const quint32 id = quint32(m_stringStart.size() - 1);
    for (QChar c : text)
        m_chars.push_back(c.unicode());
    m_stringStart.push_back(quint32(m_chars.size()));
    if (found == m_seen.end())
        m_seen.emplace(h, id);
    return id;
}

quint16 PageModel::addFont(const QFont& referenceFont) {
    for (size_t i = 0; i < m_fonts.size(); ++i) {
        if (m_fonts[i] == referenceFont)
            return quint16(i);
    }
    m_fonts.push_back(referenceFont);
    return quint16(m_fonts.size() - 1);
}

size_t PageModel::memoryBytes() const {
    return m_items.capacity() * sizeof(PageItem) + m_pageStart.capacity() * sizeof(quint32) +
           m_chars.capacity() * sizeof(char16_t) + m_stringStart.capacity() * sizeof(quint32) +
           m_seen.size() * (sizeof(size_t) + sizeof(quint32) + 2 * sizeof(void*)) +
           m_seen.bucket_count() * sizeof(void*) + m_blockItems.capacity() * sizeof(PageItem) +
           m_blockStart.capacity() * sizeof(quint32) + m_pageBlock.capacity() * sizeof(qint32) +
           m_blocksSeen.size() * (sizeof(size_t) + sizeof(int) + 2 * sizeof(void*)) +
           m_blocksSeen.bucket_count() * sizeof(void*);
}

void PageModel::squeeze() {
    // Layout is over: no more strings to share.
    m_seen = {};
    m_blocksSeen = {};
    m_items.shrink_to_fit();
    m_blockItems.shrink_to_fit();
    m_pageBlock.shrink_to_fit();
    m_pageStart.shrink_to_fit();
    m_chars.shrink_to_fit();
    m_stringStart.shrink_to_fit();
}
