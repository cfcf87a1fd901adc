#include "ReportFrame.h"

#include "Query.h"
#include "RepConExpUnt.h"
#include "RepDecDisp.h"
#include "RepListaIncasariUnt.h"
#include "RepLocuriNeocupateUnt.h"
#include "RepRestantieriUnt.h"

#include <QRegularExpression>

const std::vector<ReportKind>& reportKinds() {
    static const std::vector<ReportKind> kinds = [] {
        std::vector<ReportKind> k;
        k.push_back(RepLocuriNeocupateKind());
        k.push_back(TRepListaIncasariFrm::kind());
        k.push_back(TRepRestantieriFrm::kind());
        k.push_back(TRepConExpFrm::kind());
        k.push_back(TRepDecDispFrm::kind());
        return k;
    }();
    return kinds;
}

const ReportKind* findReport(const QString& name) {
    for (const ReportKind& k : reportKinds())
        if (k.name == name)
            return &k;
    return nullptr;
}

void setFilterLine(Query& q, int line, const QString& prefix, const QStringList& values,
                   const QString& stem) {
    if (values.isEmpty()) {
        q.setLine(line, QString());
        return;
    }
    QStringList names;
    bool blank = false;
    for (int i = 0; i < values.size(); ++i) {
        const QString name = stem + QString::number(i);
        names << QLatin1Char(':') + name;
        // Empty text is stored as NULL, which IN never matches.
        blank = blank || values.at(i).isEmpty();
        q.setParam(name, values.at(i));
    }
    QString text = prefix + names.join(QStringLiteral(", ")) + QStringLiteral("))");
    if (blank) {
        // "AND (D1.Cimitir IN (" -> the column is the word before " IN (".
        static const QRegularExpression column(QStringLiteral("([\\w.]+)\\s+IN\\s*\\(\\s*$"),
                                               QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch m = column.match(prefix);
        if (m.hasMatch())
            text.insert(text.size() - 1,
                        QStringLiteral(" OR (") + m.captured(1) + QStringLiteral(" IS NULL)"));
    }
    q.setLine(line, text);
}
