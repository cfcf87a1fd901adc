#include "CatalogRules.h"

#include "Query.h"
#include "Table.h"

CatalogRules::CatalogRules(Database& db, Table& unitatea, std::function<void()> askUnitName,
                           std::function<QString()> unitName)
    : m_unitatea(unitatea), m_askUnitName(std::move(askUnitName)), m_unitName(std::move(unitName)),
      m_qMax(new Query(db)) {
    m_qMax->setObjectName(QStringLiteral("QMax"));
    m_qMax->setSql({QStringLiteral("SELECT MAX(Id_Loc) As Counter"), QStringLiteral("FROM \"Catalog.DB\"")});
}

CatalogRules::~CatalogRules() { delete m_qMax; }

void CatalogRules::CatalogNewRecord(Table& catalog) {
    m_qMax->close();
    m_qMax->open();
    catalog.setValue(QStringLiteral("Id_Loc"), m_qMax->asFloat(QStringLiteral("Counter")) + 1);
    if (m_unitatea.isActive() && m_unitatea.isEmpty())
        m_askUnitName();
    catalog.setValue(QStringLiteral("Cimitir"), m_unitName());
}

void CatalogRules::CatalogCalcFields(Table& catalog) {
    catalog.setValue(QStringLiteral("NrCrt"), catalog.recNo());
}
