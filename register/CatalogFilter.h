#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

class Table;

// The register's filter: up to seven texts, one per field, each matched
// as a substring (or as words in any order) of the field's value, folded as
// FoldedText folds (letter case and Romanian marks do not count).
class CatalogFilter {
public:
    // The filtered fields, in the order of the filter edits.
    static const QStringList& fields();

    // Sets the text typed for field `index` (in fields() order).
    void setText(int index, const QString& text);
    QString text(int index) const;
    void clear();

    // Binds the filter to the table's row filter.
    void attach(Table& catalog);
    // The row filter: every non-empty text must match its field.
    bool CatalogFilterRecord(const Table& catalog) const;

private:
    QStringList m_texts = QStringList(7, QString());
    QList<QByteArray> m_folded = QList<QByteArray>(7); // folded UTF-8 of each text
    mutable const Table* m_resolvedFor = nullptr;      // field indexes looked up once per table
    mutable qsizetype m_resolvedFields = -1;
    mutable QVector<int> m_fieldIndex;
    QList<QList<QByteArray>> m_words = QList<QList<QByteArray>>(7); // its non-empty words
};

// Upper case of the plain letters a-z only; every other character stays.
QString upperAscii(const QString& text);
// Without a blank, F must occur in V; with blanks, every word of F must
// occur in V, in any order. Both are compared folded (FoldedText). Empty
// words (from leading, trailing or doubled blanks) are skipped.
bool MatchFilterText(const QString& filter, const QString& value);
// Cuts T at every X; consecutive separators give empty items.
QStringList SplitText(const QString& text, const QString& separator);
