#pragma once

#include "ReportDefinition.h"
#include "ReportFrame.h"

#include <memory>

class Query;
class QueryRowSource;

// The receipts issued in a period, grouped by cemetery and collection type,
// with a total per type, per cemetery and overall.
class TRepListaIncasariFrm : public ReportForm {
public:
    TRepListaIncasariFrm();
    ~TRepListaIncasariFrm() override;

    static QString caption() { return QStringLiteral("Lista incasarilor"); }
    static const ReportKind& kind();
    // The query's SQL as stored, one string per line.
    static QStringList storedSql();

    void prepare(Database& db, const ReportRequest& request) override;
    ReportDefinition& definition() override { return Rep; }
    RowSource& rows() override;
    void close() override;

    // Print hooks of the row counter.
    void QRLabel15Print(QString& text);
    void TipGroupAfterPrint() { m_counter = 1; }

private:
    void build(const QDate& from, const QDate& to);

    ReportDefinition Rep;
    std::unique_ptr<Query> Q;
    std::unique_ptr<QueryRowSource> m_rows;
    int m_counter = 1;
};
