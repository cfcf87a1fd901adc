#include "PlaceRegister.h"

#include "CatalogFilter.h"
#include "CatalogRules.h"
#include "ConcessionRules.h"
#include "Prompts.h"
#include "StoreError.h"
#include "Table.h"

PlaceRegister::PlaceRegister(Database& db, QObject* owner) {
    const char* const files[5] = {"Catalog.DB", "Concesionari.DB", "PersInmormantate.db",
                                  "Chitante.DB", "Unitatea.DB"};
    for (int i = 0; i < 5; ++i) {
        m_tables[i] = new Table(db, owner);
        const QString file = QString::fromLatin1(files[i]);
        m_tables[i]->setObjectName(file.left(file.indexOf(QLatin1Char('.'))));
        m_tables[i]->setTableName(file);
    }
    Table& cat = catalog();
    cat.addCalcField(QStringLiteral("NrCrt"), FieldType::Number);
    for (Table* detail : {&concesionari(), &persInmormantate(), &chitante()})
        detail->setMasterLink(&cat, {QStringLiteral("Id_Loc")});

    m_rules = std::make_unique<CatalogRules>(
        db, unitatea(), [this] { askUnitName(); }, [this] { return m_unitName; });
    m_rules->setDetails(&concesionari(), &persInmormantate(), &chitante());
    cat.onNewRecord = [this](Table& t) { m_rules->CatalogNewRecord(t); };
    cat.beforeInsert = [this](Table& t) { m_rules->CatalogBeforeInsert(t); };
    cat.onCalcFields = [this](Table& t) { m_rules->CatalogCalcFields(t); };
    cat.beforeDelete = [this](Table& t) { m_rules->CatalogBeforeDelete(t); };
    cat.setValidator(QStringLiteral("CNP_Uzufruct"), [this](Table& t, const QString& f) {
        m_rules->CatalogCNP_UzufructValidate(t, f);
    });
    concesionari().setValidator(QStringLiteral("CNP_Uzufruct"), [this](Table& t, const QString& f) {
        m_rules->ConcesionariCNP_UzufructValidate(t, f);
    });
    m_concessionRules = std::make_unique<ConcessionRules>();
    concesionari().onNewRecord = [this](Table& t) { m_concessionRules->ConcesionariNewRecord(t); };
    concesionari().afterScroll = [this](Table& t) {
        m_concessionRules->ConcesionariAfterScroll(t);
    };
    m_filter = std::make_unique<CatalogFilter>();
    m_filter->attach(cat);
}

PlaceRegister::~PlaceRegister() = default;

QList<Table*> PlaceRegister::tables() const {
    return {m_tables[0], m_tables[1], m_tables[2], m_tables[3], m_tables[4]};
}

void PlaceRegister::open() {
    for (Table* t : tables())
        t->open();
}

void PlaceRegister::close() {
    for (Table* t : tables())
        t->close();
}

void PlaceRegister::loadUnitName() {
    Table& unit = unitatea();
    m_unitName = unit.isEmpty() ? QString() : unit.asString(QStringLiteral("Cimitir"));
}

void PlaceRegister::askUnitName() {
    QString name = m_unitName;
    if (!Prompts::current().inputText(
            QStringLiteral("Dialog"),
            QStringLiteral("Introduceti numele sau numarul unitatii (cimitirul) :"), &name))
        throw Abort();
    // The name in memory is the text as typed; the stored copy is cut to
    // the field's size.
    m_unitName = name;
    Table& unit = unitatea();
    if (unit.isEmpty())
        unit.append();
    else
        unit.edit();
    unit.setValue(QStringLiteral("Cimitir"), m_unitName);
    unit.post();
}
