#pragma once

#include <QString>
#include <QStringList>

// The program's SQL names tables by their file name in double quotes
// ("Catalog.DB") and parameters by name (:CNP). SQLite gets the stored
// table name and positional parameters instead; string literals are
// left untouched.
struct SqlText {
    QString sql;
    QStringList params; // parameter names in order of appearance
};

SqlText translateSql(const QString& text);

// An identifier in double quotes, an inner quote doubled: how every engine
// the register runs on reads a table's or a column's name.
QString quoted(const QString& identifier);
