#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Connection;

enum class FieldType { Number, Text, Date, Logical, LongInt, Memo };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
    int size = 0; // characters, for Text only
    bool calculated = false;
};

struct IndexDef {
    QString name;
    QString fields; // field names joined by ";"
    bool unique = false;
};

struct TableDef {
    QString name; // the table's name; its "file name" is name + ".DB"
    QList<FieldDef> fields;
    QList<IndexDef> indexes;
};

// The register's five tables, their fields, sizes and indexes.
namespace Schema {

const QList<TableDef>& tables();
const TableDef* find(const QString& tableName);

// The column type written into SQLite for a field, and read back from it.
QString declaredType(const FieldDef& field);
FieldDef fieldFromDeclared(const QString& name, const QString& declared);

// The statement that makes one of the table's indexes, the same on every
// engine.
QString createIndexSql(const TableDef& table, const IndexDef& index);

// The index that gives a table its natural (primary) order.
QString primaryIndexName(const QString& tableName);

// Creates the five empty tables with their indexes (one transaction).
void createTables(Connection& db);

} // namespace Schema
