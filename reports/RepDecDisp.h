#pragma once

// "Decizie de impunere": one tax decision, on a page of its own, for every
// place with a current holder whose annual maintenance tax is not paid up
// to the chosen date. The header, preamble and closing texts come from
// their files (DecDispUnt); the holder's identity and address, from the
// place's latest concession, are printed over the blanks of the form text.

#include "ReportDefinition.h"
#include "ReportFrame.h"

#include <QDate>
#include <memory>

class HolderRows;

class TRepDecDispFrm : public ReportForm {
public:
    TRepDecDispFrm();
    ~TRepDecDispFrm() override;

    // The entry of the "Listari" menu and of the command line ("decizii").
    static ReportKind kind();
    // 31 December of the year before today's.
    static QDate defaultDate();
    // The form text of the detail band, whose blanks the data fill.
    static QString formText();
    // The font of the form text and of the data on its blanks.
    static QFont formFont();
    static QString footerText();

    void prepare(Database& db, const ReportRequest& request) override;
    ReportDefinition& definition() override { return Rep; }
    RowSource& rows() override;
    void close() override;

    // A place gets a decision when its annual-tax receipts do not cover the
    // period up to the reference date (no such receipt at all included).
    bool DetailBandBeforePrint(const PrintContext& row) const;

private:
    void build();

    ReportDefinition Rep;
    std::unique_ptr<HolderRows> Q;
    QDate m_date; // the reference date
    int m_year = 0;
    // Where prepare() puts the texts and the years of the run.
    Element* AntetMemo = nullptr;
    Element* PreambulMemo = nullptr;
    Element* CompletariMemo = nullptr;
    Element* TaxTable = nullptr;
};
