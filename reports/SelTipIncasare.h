#pragma once

#include "MultiSelectDlg.h"

// The collection types present among the receipts.
class TSelTipIncasareFrm : public MultiSelectDlg {
    Q_OBJECT
public:
    TSelTipIncasareFrm(QWidget* owner, Database& db);
};

// Asks which collection types the receipts list covers; as SelectCemeteries.
bool SelectCollectionTypes(QWidget* owner, Database& db, QStringList& values);
