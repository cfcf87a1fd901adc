#pragma once

#include <QList>
#include <QString>
#include <memory>

class CatalogFilter;
class CatalogRules;
class ConcessionRules;
class Database;
class QObject;
class Table;

// The register's five tables, the details linked to the places on Id_Loc
// and the rules bound to them: what the main window works on, and what the
// benchmark and the tests build the same way.
class PlaceRegister {
public:
    // The tables are children of `owner` (named after their tables).
    PlaceRegister(Database& db, QObject* owner);
    ~PlaceRegister();

    Table& catalog() const { return *m_tables[0]; }
    Table& concesionari() const { return *m_tables[1]; }
    Table& persInmormantate() const { return *m_tables[2]; }
    Table& chitante() const { return *m_tables[3]; }
    Table& unitatea() const { return *m_tables[4]; }
    // In their opening order.
    QList<Table*> tables() const;
    CatalogRules& rules() const { return *m_rules; }
    CatalogFilter& filter() const { return *m_filter; }
    ConcessionRules& concessionRules() const { return *m_concessionRules; }

    // Opens the tables in order; the first failure stops the rest.
    void open();
    void close();

    // The unit name: loaded from Unitatea, given to every new place.
    const QString& unitName() const { return m_unitName; }
    void loadUnitName();
    // Asks for the unit name and stores it; Cancel throws Abort.
    void askUnitName();

private:
    Table* m_tables[5] = {};
    std::unique_ptr<CatalogRules> m_rules;
    std::unique_ptr<CatalogFilter> m_filter;
    std::unique_ptr<ConcessionRules> m_concessionRules;
    QString m_unitName;
};
