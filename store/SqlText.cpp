#include "SqlText.h"

QString quoted(const QString& identifier) {
    return QLatin1Char('"') +
           QString(identifier).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

SqlText translateSql(const QString& text) {
    SqlText out;
    const int n = static_cast<int>(text.size());
    int i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\'')) { // string literal, '' escapes a quote
            int j = i + 1;
            while (j < n) {
                if (text.at(j) == QLatin1Char('\'')) {
                    if (j + 1 < n && text.at(j + 1) == QLatin1Char('\'')) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            out.sql += text.mid(i, j - i + 1);
            i = j + 1;
        } else if (c == QLatin1Char('"')) { // quoted identifier, maybe a table file name
            int j = text.indexOf(QLatin1Char('"'), i + 1);
            if (j < 0)
                j = n;
            QString ident = text.mid(i + 1, j - i - 1);
            if (ident.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
                ident.chop(3);
            out.sql += QLatin1Char('"') + ident + QLatin1Char('"');
            i = j + 1;
        } else if (c == QLatin1Char(':') && i + 1 < n &&
                   (text.at(i + 1).isLetter() || text.at(i + 1) == QLatin1Char('_'))) {
            int j = i + 1;
            while (j < n && (text.at(j).isLetterOrNumber() || text.at(j) == QLatin1Char('_')))
                ++j;
            out.params << text.mid(i + 1, j - i - 1);
            out.sql += QLatin1Char('?');
            i = j;
        } else {
            out.sql += c;
            ++i;
        }
    }
    return out;
}
