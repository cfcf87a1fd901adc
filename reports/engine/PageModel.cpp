#include "PageModel.h"

#include <QHashFunctions>
#include <algorithm>

std::span<const PageItem> PageModel::page(int index) const {
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
           m_seen.bucket_count() * sizeof(void*);
}

void PageModel::squeeze() {
    // Layout is over: no more strings to share.
    m_seen = {};
    m_items.shrink_to_fit();
    m_pageStart.shrink_to_fit();
    m_chars.shrink_to_fit();
    m_stringStart.shrink_to_fit();
}
