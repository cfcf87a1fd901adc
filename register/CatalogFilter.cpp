#include "CatalogFilter.h"

#include "FoldedText.h"
#include "Table.h"

QString upperAscii(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return out;
}

QStringList SplitText(const QString& text, const QString& separator) {
    QStringList out;
    if (separator.isEmpty())
        return {text};
    QString rest = text;
    for (qsizetype at = rest.indexOf(separator); at >= 0; at = rest.indexOf(separator)) {
        out << rest.left(at);
        rest.remove(0, at + separator.size());
    }
    out << rest;
    return out;
}

namespace {

// The folded words of a filter text; empty words are left out, so that a
// second word still being typed sets no condition and does not empty the
// grid.
QList<QByteArray> foldedWords(const QByteArray& folded) {
    QList<QByteArray> out;
    for (const QByteArray& word : folded.split(' '))
        if (!word.isEmpty())
            out << word;
    return out;
}

bool matchFolded(const QByteArray& filter, const QList<QByteArray>& words, QByteArrayView value) {
    if (value.isEmpty())
        return false;
    const QByteArrayView folded = FoldedText::scratch(value);
    if (!filter.contains(' '))
        return folded.contains(filter);
    for (const QByteArray& word : words)
        if (!folded.contains(word))
            return false;
    return true;
}

} // namespace

bool MatchFilterText(const QString& filter, const QString& value) {
    const QByteArray f = FoldedText::fold(filter.toUtf8());
    return matchFolded(f, foldedWords(f), value.toUtf8());
}

const QStringList& CatalogFilter::fields() {
    static const QStringList f = {QStringLiteral("Sector"),       QStringLiteral("Parcela"),
                                  QStringLiteral("Rand"),         QStringLiteral("Loc"),
                                  QStringLiteral("CNP_Uzufruct"), QStringLiteral("Nume_Uzufruct"),
                                  QStringLiteral("Observatii")};
    return f;
}

void CatalogFilter::setText(int index, const QString& text) {
    if (index < 0 || index >= m_texts.size())
        return;
    m_texts[index] = text;
    m_folded[index] = FoldedText::fold(text.toUtf8());
    m_words[index] = foldedWords(m_folded[index]);
}

QString CatalogFilter::text(int index) const {
    return m_texts.value(index);
}

void CatalogFilter::clear() {
    for (int i = 0; i < m_texts.size(); ++i)
        setText(i, QString());
}

void CatalogFilter::attach(Table& catalog) {
    catalog.onFilterRecord = [this](const Table& t) { return CatalogFilterRecord(t); };
}

bool CatalogFilter::CatalogFilterRecord(const Table& catalog) const {
    if (m_resolvedFor != &catalog || m_resolvedFields != catalog.fields().size()) {
        m_fieldIndex.clear();
        for (const QString& name : fields())
            m_fieldIndex << catalog.fieldIndex(name);
        m_resolvedFor = &catalog;
        m_resolvedFields = catalog.fields().size();
    }
    QByteArray spare;
    for (int i = 0; i < m_folded.size(); ++i) {
        const QByteArray& f = m_folded.at(i);
        if (f.isEmpty())
            continue;
        if (!matchFolded(f, m_words.at(i), catalog.storedUtf8(m_fieldIndex.at(i), &spare)))
            return false;
    }
    return true;
}
