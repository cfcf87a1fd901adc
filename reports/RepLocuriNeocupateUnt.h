#pragma once

#include "QueryRowSource.h"
#include "ReportDefinition.h"
#include "ReportFrame.h"

#include <memory>

class Query;

// The list of the places nobody holds, per cemetery, as a ruled table with
// an empty column for notes made in the field.
class TRepLocuriNeocupateFrm : public ReportForm {
public:
    static constexpr int FilterLine = 5;

    TRepLocuriNeocupateFrm();
    ~TRepLocuriNeocupateFrm() override;

    void prepare(Database& db, const ReportRequest& request) override;
    ReportDefinition& definition() override { return m_rep; }
    RowSource& rows() override { return *m_rows; }
    void close() override;

    // The stored SQL of the main query, one string per line.
    static QStringList sql();

    // Print hooks: the counter cell prints the counter and moves it on;
    // every cemetery heading starts it again at 1.
    void QRLabel9Print(QString& text);
    void QRGroup1AfterPrint() { m_counter = 1; }
    int counter() const { return m_counter; }

    Query* Q() const { return m_q.get(); }

private:
    void buildReport();

    ReportDefinition m_rep;
    std::unique_ptr<Query> m_q;
    std::unique_ptr<QueryRowSource> m_rows;
    int m_counter = 1;
};

ReportKind RepLocuriNeocupateKind();
