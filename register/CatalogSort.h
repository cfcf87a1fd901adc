#pragma once

#include <QString>
#include <QStringList>

class Table;

// The seven orders of the place register, each found by its index's field
// list, never by the index's name.
namespace CatalogSort {

struct Choice {
    QString text;   // as the sort selector shows it
    QString fields; // the index field list it selects
};

const QList<Choice>& choices();
QStringList texts();

// Makes the index whose field list equals the choice's current and moves
// to the first row. A missing index leaves the order as it was.
// Returns whether an index was found.
bool apply(Table& catalog, int choice);
// The same for a closed catalog: its rows are then read in that order
// when it opens, once, instead of being read and then sorted.
void choose(Table& catalog, int choice);

} // namespace CatalogSort
