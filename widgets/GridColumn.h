#pragma once

#include <QString>
#include <QStringList>

// One column of a data grid: its field, title, width and visibility.
struct GridColumn {
    QString fieldName;
    QString title;        // empty: the field's name is shown
    int width = -1;       // -1: the grid's default width for the field
    bool visible = true;
    QStringList pickList; // values offered by a drop-down cell

    static GridColumn make(const QString& field, const QString& title = {}, int width = -1) {
        GridColumn c;
        c.fieldName = field;
        c.title = title;
        c.width = width;
        return c;
    }
};
