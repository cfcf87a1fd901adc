#pragma once

#include <QString>
#include <functional>

class Database;
class Query;
class Table;

// The rules the main window binds to the place register.
class CatalogRules {
public:
    // `askUnitName` runs the unit-name command; it throws Abort on Cancel.
    CatalogRules(Database& db, Table& unitatea, std::function<void()> askUnitName,
                 std::function<QString()> unitName);
    ~CatalogRules();

    // A new place: identifier one more than the largest stored, cemetery
    // from the unit name (asked for first when none is stored).
    void CatalogNewRecord(Table& catalog);
    // The running number of a row in the current order.
    void CatalogCalcFields(Table& catalog);

    Query& qMax() { return *m_qMax; }

private:
    Table& m_unitatea;
    std::function<void()> m_askUnitName;
    std::function<QString()> m_unitName;
    Query* m_qMax;
};
