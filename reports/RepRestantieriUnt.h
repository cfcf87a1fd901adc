#pragma once

#include "ReportDefinition.h"
#include "ReportFrame.h"

#include <QDate>
#include <memory>

class HolderRows;

// The holders who have not paid the annual fee up to a chosen date, per
// cemetery, with their address, current concession and the paid-up date.
class TRepRestantieriFrm : public ReportForm {
public:
    TRepRestantieriFrm();
    ~TRepRestantieriFrm() override;

    static QString caption() { return QStringLiteral("Lista restantierilor"); }
    static const ReportKind& kind();

    void prepare(Database& db, const ReportRequest& request) override;
    ReportDefinition& definition() override { return Rep; }
    RowSource& rows() override;
    void close() override;

    // The arrears rule: listed when the fee is paid up to a day before the
    // reference date, or not at all.
    bool DetailBand1BeforePrint(const PrintContext& row) const;
    void QRLabel15Print(QString& text);
    void CimGroupBeforePrint() { m_counter = 1; }

private:
    void build();

    ReportDefinition Rep;
    std::unique_ptr<HolderRows> Q;
    QDate m_date;
    int m_counter = 1;
};
