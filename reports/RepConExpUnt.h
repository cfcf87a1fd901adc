#pragma once

// "Situatia concesiunilor expirate": the places with a current holder whose
// latest concession ran out before the chosen date, cemetery by cemetery.

#include "ReportDefinition.h"
#include "ReportFrame.h"

#include <QDate>
#include <QVariant>
#include <memory>

class HolderRows;

// The last day of a concession granted on `dataConcesiune` for `nrAni`
// years (an empty term counts as none): the same day `nrAni` years later,
// less one day; 29 February is taken as 28 February when that year is not
// a multiple of four. Invalid (no expiry) when the date is empty or the
// day cannot be formed.
QDate DataExpConcesiune(const QVariant& dataConcesiune, const QVariant& nrAni);

class TRepConExpFrm : public ReportForm {
public:
    TRepConExpFrm();
    ~TRepConExpFrm() override;

    // The entry of the "Listari" menu and of the command line ("expirate").
    static ReportKind kind();

    void prepare(Database& db, const ReportRequest& request) override;
    ReportDefinition& definition() override { return Rep; }
    RowSource& rows() override;
    void close() override;

    // The expiry rule: a row prints when its concession's expiry is before
    // the reference date; no expiry counts as the earliest date.
    bool DetailBand1BeforePrint(const PrintContext& row) const;

private:
    void build();

    ReportDefinition Rep;
    std::unique_ptr<HolderRows> Q;
    QDate m_date;      // the reference date
    int m_counter = 1; // running number within a cemetery
};
