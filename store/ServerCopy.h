#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The register file moved to a database on a PostgreSQL server, for an
// office whose clerks outgrow one PC.
namespace ServerCopy {

struct Result {
    QString where;                      // the server's database, as messages name it
    QList<QPair<QString, qint64>> rows; // each table with the rows it received
    bool fromFile = false;              // false: there was no file, the register is empty
};

// Creates the register's five tables with their indexes in the database
// `conninfo` names and copies into them every row of the register file
// `file` (when there is one), every value and row id kept, in one
// transaction that commits only when each table holds as many rows as the
// file's. The server's counters continue above the copied rows. The file
// is only read.
//
// StoreError, in Romanian and naming the server and the database, when the
// database holds a register already, the file cannot be read or anything
// fails on the way; the database is then left as it was.
Result run(const QString& file, const QString& conninfo);

} // namespace ServerCopy
