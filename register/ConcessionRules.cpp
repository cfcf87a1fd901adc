#include "ConcessionRules.h"

#include "Table.h"

void ConcessionRules::ConcesionariNewRecord(Table& concesionari) {
    concesionari.setValue(QStringLiteral("Scutit_concesiune"), false);
}

void ConcessionRules::ConcesionariAfterScroll(Table& concesionari) {
    // No concession, or an empty value: no exemption.
    const bool exempt = concesionari.isActive() && concesionari.currentRow() >= 0 &&
                        concesionari.value(QStringLiteral("Scutit_concesiune")).toBool();
    if (showExemption)
        showExemption(exempt);
}

void ConcessionRules::DBCheckBoxNormal1Click(bool checked) {
    if (showExemption)
        showExemption(checked);
}
