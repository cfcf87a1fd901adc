#pragma once

#include "RowSource.h"

#include <QStringList>
#include <functional>
#include <memory>

class Database;
class PrintContext;
class Query;

// The places that have a holder and at least one concession, each with its
// latest concession (all its fields) and the date up to which its annual fee
// is paid, in one set-based pass over the register:
//
//   Cimitir, Sector, Parcela, Rand, Loc, CNP_Uzufruct, Nume_Uzufruct,
//   Id_Loc   the place, as the register holds it;
//   DataCon  the date of its latest concession;
//   Con_...  every field of that concession ("Con_" + its own name): the
//            first in index order (Id_Loc;Data_concesiune;Nr_concesiune)
//            among those on that date;
//   Stop     the latest end of a paid period of the "Taxa anuala" receipts,
//            null when there is none.
//
// Ordered by Cimitir, Nume_Uzufruct, CNP_Uzufruct, Sector, Parcela, Rand,
// Loc, Id_Loc. Dates come out as QDate, the exemption mark as bool.
class HolderRows : public RowSource {
public:
    explicit HolderRows(Database& db);
    ~HolderRows() override;
    HolderRows(const HolderRows&) = delete;
    HolderRows& operator=(const HolderRows&) = delete;

    // Runs the pass for the chosen cemeteries (empty: all); StoreError on
    // failure. Reading starts again from the first row.
    void open(const QStringList& cemeteries);
    void close();
    bool isOpen() const;
    // The SQL text as last opened (its values bound as parameters).
    QStringList sql() const;

    // "Con_" + the concession field's own name.
    static QString concessionField(const QString& name);
    // The concession table's fields, by their own names.
    static const QStringList& concessionFields();

    QStringList fieldNames() const override { return m_names; }
    bool next() override;
    QVariant value(int field) const override;
    qint64 sizeHint() const override;

private:
    Database& m_db;
    std::unique_ptr<Query> m_query;
    QStringList m_names;
    std::vector<int> m_kinds; // how each column is handed out
    bool m_started = false;
};

// The holder's address as the lists print it, from the latest concession:
// street, number, block, staircase, floor, flat, county, telephones and
// remarks, each only when set. `field` reads a concession field by its own
// name.
QString holderAddressLine(const std::function<QVariant(const QString& field)>& field);
QString holderAddressLine(const PrintContext& row);

// The concession's number immediately followed by its act ("12A").
QString concessionNumberText(const QVariant& number, const QVariant& act);
QString concessionNumberText(const PrintContext& row);
