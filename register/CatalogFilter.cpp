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
    for (int i = 0; i < m_upper.size(); ++i) {
        const QString& f = m_upper.at(i);
        if (f.isEmpty())
            continue;
        const int field = catalog.fieldIndex(fields().at(i));
        const QString value = field >= 0 ? catalog.value(field).toString() : QString();
        if (!MatchFilterText(f, upperAscii(value)))
            return false;
    }
    return true;
}
