#include "CatalogRules.h"

#include "Database.h"
#include "Prompts.h"
#include "Query.h"
#include "StoreError.h"
#include "Table.h"

#include <QApplication>

bool ValidCNP(const QString& code) {
    if (code.size() != 13)
        return false;
    static const int weights[12] = {2, 7, 9, 1, 4, 6, 3, 5, 8, 2, 7, 9};
    int sum = 0;
    for (int i = 0; i < 13; ++i) {
        const QChar c = code.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
        if (i < 12)
            sum += weights[i] * (c.unicode() - '0');
    }
    const int r = sum % 11;
    const int control = code.at(12).unicode() - '0';
    return r == 10 ? control == 1 : control == r;
}

CatalogRules::CatalogRules(Database& db, Table& unitatea, std::function<void()> askUnitName,
                           std::function<QString()> unitName)
    : m_unitatea(unitatea), m_askUnitName(std::move(askUnitName)), m_unitName(std::move(unitName)),
      m_qMax(std::make_unique<Query>(db)), m_qCnpExist(std::make_unique<Query>(db)),
      m_onServer(!db.server().isEmpty()) {
    m_qMax->setObjectName(QStringLiteral("QMax"));
    m_qMax->setSql(
        {QStringLiteral("SELECT MAX(Id_Loc) As Counter"), QStringLiteral("FROM \"Catalog.DB\"")});
    m_qCnpExist->setObjectName(QStringLiteral("QCNPExist"));
    m_qCnpExist->setSql({QStringLiteral("SELECT COUNT(*) AS ValCount"),
                         QStringLiteral("FROM \"Catalog.DB\" "), QStringLiteral("WHERE"),
                         QStringLiteral("(CNP_Uzufruct = :CNP)")});
}

CatalogRules::~CatalogRules() = default;

void CatalogRules::setDetails(Table* concesionari, Table* persInmormantate, Table* chitante) {
    m_details[0] = concesionari;
    m_details[1] = persInmormantate;
    m_details[2] = chitante;
}

void CatalogRules::CatalogNewRecord(Table& catalog) {
    m_offeredId = -1;
    // On a server the id is taken at the save alone: several clerks add
    // places, and one taken now would only cost a round trip.
    if (!m_onServer)
        CatalogBeforeInsert(catalog);
    if (m_unitatea.isActive() && m_unitatea.isEmpty())
        m_askUnitName();
    catalog.setValue(QStringLiteral("Cimitir"), m_unitName());
}

void CatalogRules::CatalogBeforeInsert(Table& catalog) {
    // Taken again at the save, as another clerk may have added a place
    // since; an id typed by hand stays.
    const QString id = QStringLiteral("Id_Loc");
    if (!catalog.isNull(id) && catalog.asFloat(id) != m_offeredId)
        return;
    m_qMax->close();
    m_qMax->open();
    m_offeredId = m_qMax->asFloat(QStringLiteral("Counter")) + 1;
    catalog.setValue(id, m_offeredId);
}

void CatalogRules::CatalogCalcFields(Table& catalog) {
    catalog.setValue(QStringLiteral("NrCrt"), catalog.recNo());
}

void CatalogRules::CatalogCNP_UzufructValidate(Table& catalog, const QString& field) {
    const QString code = catalog.asString(field);
    if (!ValidCNP(code))
        Prompts::warning(QStringLiteral("Cod personal incorect!"));
    m_qCnpExist->close();
    m_qCnpExist->setParam(QStringLiteral("CNP"), code);
    m_qCnpExist->open();
    if (m_qCnpExist->asInteger(QStringLiteral("ValCount")) > 0)
        Prompts::warning(QStringLiteral(
            "Acest cod personal mai exista inregistrat in baza de date. Analizati situatia."));
}

void CatalogRules::ConcesionariCNP_UzufructValidate(Table& concesionari, const QString& field) {
    if (!ValidCNP(concesionari.asString(field)))
        Prompts::warning(QStringLiteral("Cod personal incorect!"));
}

void CatalogRules::CatalogBeforeDelete(Table& catalog) {
    if (catalog.recordCount() > 0 &&
        Prompts::current().message(
            QStringLiteral("Confirmati"),
            QStringLiteral(
                "Efectuand aceasta operatiune se sterg datele aferente respectivului loc:\r"
                "istoric, persoane inmormantate, incasari...\rSigur stergeti?"),
            PromptIcon::Question, PromptButtons::YesNo, PromptAnswer::No) != PromptAnswer::Yes)
        throw Abort();
    DeletePlaceDetails();
}

void CatalogRules::DeletePlaceDetails() {
    // The place's table deletes its own row in the same transaction as
    // these: a failure half-way undoes all of them.
    for (Table* detail : m_details) {
        if (!detail || !detail->isActive())
            continue;
        detail->disableControls();
        try {
            detail->first();
            while (!detail->eof())
                detail->remove();
        } catch (...) {
            detail->enableControls();
            throw;
        }
        detail->enableControls();
    }
}
