#pragma once

#include "MultiSelectDlg.h"

// The cemeteries present in the places table.
class TSelCimFrm : public MultiSelectDlg {
    Q_OBJECT
public:
    TSelCimFrm(QWidget* owner, Database& db);
};

// Asks which cemeteries a report covers. On OK appends the chosen ones to
// `values` (a blank value stands for the places without a cemetery) and
// returns true; on cancel leaves `values` alone and returns false.
bool SelectCemeteries(QWidget* owner, Database& db, QStringList& values);
