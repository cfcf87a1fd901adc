#pragma once

#include <functional>

class Table;

// The rules of the concession history: a new concession starts without
// exemption, and the exemption's document controls show exactly when the
// concession is exempt (as stored on moving, as ticked while editing).
class ConcessionRules {
public:
    // Shows or hides the document number, date and explanation with their
    // labels; hiding clears nothing.
    std::function<void(bool)> showExemption;

    void ConcesionariNewRecord(Table& concesionari);
    void ConcesionariAfterScroll(Table& concesionari);
    void DBCheckBoxNormal1Click(bool checked);
};
