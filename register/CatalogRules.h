#pragma once

#include <QString>
#include <functional>
#include <memory>

class Database;
class Query;
class Table;

// The rules the main window binds to the place register: a new place's
// identifier and cemetery, the running number, the personal-code checks and
// what deleting a place takes with it.
class CatalogRules {
public:
    // `askUnitName` runs the unit-name command; it throws Abort on Cancel.
    CatalogRules(Database& db, Table& unitatea, std::function<void()> askUnitName,
                 std::function<QString()> unitName);
    ~CatalogRules();

    // The three detail tables whose rows go with a deleted place.
    void setDetails(Table* concesionari, Table* persInmormantate, Table* chitante);

    void CatalogNewRecord(Table& catalog);
    // The new place's Id_Loc, one past the largest stored at this moment.
    void CatalogBeforeInsert(Table& catalog);
    void CatalogCalcFields(Table& catalog);
    void CatalogCNP_UzufructValidate(Table& catalog, const QString& field);
    void ConcesionariCNP_UzufructValidate(Table& concesionari, const QString& field);
    void CatalogBeforeDelete(Table& catalog);
    void DeletePlaceDetails();

    Query& qMax() { return *m_qMax; }
    Query& qCnpExist() { return *m_qCnpExist; }

private:
    Table& m_unitatea;
    std::function<void()> m_askUnitName;
    std::function<QString()> m_unitName;
    std::unique_ptr<Query> m_qMax;
    double m_offeredId = -1; // the Id_Loc a new place was given, while not typed over
    std::unique_ptr<Query> m_qCnpExist;
    bool m_onServer = false;
    Table* m_details[3] = {};
};

// The personal numeric code's control digit: 13 decimal digits, the last
// one derived from the first twelve.
bool ValidCNP(const QString& code);
