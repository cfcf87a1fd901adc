#include "SelCim.h"

TSelCimFrm::TSelCimFrm(QWidget* owner, Database& db)
    : MultiSelectDlg(owner, db,
                     {"SelCimFrm",
                      QStringLiteral("Selectie cimitir"),
                      QStringLiteral("Toate cimitirele"),
                      "CimList",
                      {QStringLiteral("SELECT DISTINCT Cimitir FROM \"Catalog.DB\"")}}) {}

bool SelectCemeteries(QWidget* owner, Database& db, QStringList& values) {
    TSelCimFrm dlg(owner, db);
    dlg.load();
    return dlg.ask(values);
}
