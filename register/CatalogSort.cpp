#include "CatalogSort.h"

#include "Table.h"

namespace CatalogSort {

const QList<Choice>& choices() {
    static const QList<Choice> c = {
        {QStringLiteral("Cimitir"), QStringLiteral("Cimitir;Sector;Parcela;Rand;Loc;CNP_Uzufruct")},
        {QStringLiteral("Sector"), QStringLiteral("Sector;Parcela;Rand;Loc;CNP_Uzufruct")},
        {QStringLiteral("Parcela"), QStringLiteral("Parcela;Rand;Loc;CNP_Uzufruct")},
        {QStringLiteral("Rand"), QStringLiteral("Rand;Loc;CNP_Uzufruct")},
        {QStringLiteral("Loc"), QStringLiteral("Loc;CNP_Uzufruct")},
        {QStringLiteral("CNP Uzufruct"), QStringLiteral("CNP_Uzufruct")},
        {QStringLiteral("Nume Uzufruct"), QStringLiteral("Nume_Uzufruct;CNP_Uzufruct")},
    };
    return c;
}

QStringList texts() {
    QStringList out;
    for (const Choice& c : choices())
        out << c.text;
    return out;
}

namespace {

// The index whose field list is the choice's; empty when there is none.
QString indexFor(const Table& catalog, int choice) {
    const QString& wanted = choices().at(choice).fields;
    QString name;
    for (const IndexDef& d : catalog.indexDefs())
        if (d.fields == wanted) // exact text; the last match wins
            name = d.name;
    return name;
}

} // namespace

bool apply(Table& catalog, int choice) {
    if (choice < 0 || choice >= choices().size() || !catalog.isActive())
        return false;
    const QString name = indexFor(catalog, choice);
    if (!name.isEmpty())
        catalog.setIndexName(name);
    catalog.first();
    return !name.isEmpty();
}

void choose(Table& catalog, int choice) {
    if (choice < 0 || choice >= choices().size() || catalog.isActive())
        return;
    const QString name = indexFor(catalog, choice);
    if (!name.isEmpty())
        catalog.setIndexName(name);
}

} // namespace CatalogSort
