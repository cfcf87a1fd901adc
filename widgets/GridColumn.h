#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A column property that a stored layout gave and that the program never
// sets itself (alignment, colours, fonts, read-only, ...): its name as stored
// ("Font.Name") and its tagged value byte for byte, so that it is written
// back exactly as it was read.
struct ColumnProperty {
    QByteArray name;
    QByteArray value;
    bool operator==(const ColumnProperty&) const = default;
};

// One column of a data grid: its field, title, width and visibility.
struct GridColumn {
    QString fieldName;
    QString title;  // empty: the field's name is shown
    int width = -1; // -1: the grid's default width for the field
    bool visible = true;
    QStringList pickList; // values offered by a drop-down cell
    // The further properties a layout file gave the column, in the order in
    // which they are written.
    QList<ColumnProperty> stored;

    static GridColumn make(const QString& field, const QString& title = {}, int width = -1) {
        GridColumn c;
        c.fieldName = field;
        c.title = title;
        c.width = width;
        return c;
    }
    bool operator==(const GridColumn&) const = default;
};
