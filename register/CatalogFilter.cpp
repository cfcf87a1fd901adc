#include "CatalogFilter.h"

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

bool MatchFilterText(const QString& filter, const QString& value) {
    if (!filter.contains(QLatin1Char(' ')))
        return value.contains(filter);
    for (const QString& word : SplitText(filter, QStringLiteral(" "))) {
        // An empty word would match nothing and empty the grid while the
        // next word is still being typed: it sets no condition.
        if (word.isEmpty())
            continue;
        if (!value.contains(word))
            return false;
    }
    return true;
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
    m_upper[index] = upperAscii(text);
    m_words[index] = SplitText(m_upper[index], QStringLiteral(" "));
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

namespace {

QChar upperAsciiChar(QChar c) {
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ? QChar(c.unicode() - 'a' + 'A') : c;
}

// Whether the upper-case word occurs in the value, folding only a-z of the
// value as it goes: runs for every place at every keystroke, so it copies
// nothing.
bool containsFolded(QStringView value, QStringView upperWord) {
    const qsizetype n = value.size(), m = upperWord.size();
    for (qsizetype i = 0; i + m <= n; ++i) {
        qsizetype j = 0;
        while (j < m && upperAsciiChar(value[i + j]) == upperWord[j])
            ++j;
        if (j == m)
            return true;
    }
    return false;
}

} // namespace

bool CatalogFilter::CatalogFilterRecord(const Table& catalog) const {
    if (m_resolvedFor != &catalog || m_resolvedFields != catalog.fields().size()) {
        m_fieldIndex.clear();
        for (const QString& name : fields())
            m_fieldIndex << catalog.fieldIndex(name);
        m_resolvedFor = &catalog;
        m_resolvedFields = catalog.fields().size();
    }
    for (int i = 0; i < m_upper.size(); ++i) {
        const QString& f = m_upper.at(i);
        if (f.isEmpty())
            continue;
        const QString value = catalog.storedText(m_fieldIndex.at(i));
        if (value.isEmpty())
            return false;
        if (!f.contains(QLatin1Char(' '))) {
            if (!containsFolded(value, f))
                return false;
            continue;
        }
        for (const QString& word : m_words.at(i))
            if (!word.isEmpty() && !containsFolded(value, word))
                return false;
    }
    return true;
}
