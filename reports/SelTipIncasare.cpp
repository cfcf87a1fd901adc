#include "SelTipIncasare.h"

TSelTipIncasareFrm::TSelTipIncasareFrm(QWidget* owner, Database& db)
    : MultiSelectDlg(owner, db,
                     {"SelTipIncasareFrm",
                      QStringLiteral("Selectie tip incasare"),
                      QStringLiteral("Toate tipurile de incasare"),
                      "TipList",
                      {QStringLiteral("SELECT DISTINCT Tip_incasare FROM \"Chitante.DB\"")}}) {}

bool SelectCollectionTypes(QWidget* owner, Database& db, QStringList& values) {
    TSelTipIncasareFrm dlg(owner, db);
    dlg.load();
    return dlg.ask(values);
}
