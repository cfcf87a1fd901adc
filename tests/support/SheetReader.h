#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// An .xlsx read back the way a spreadsheet program reads it: the first
// sheet's cells with their types and number formats, from the zip's XML
// parts (unpacked with `unzip -p`).
struct SheetCell {
    QString kind;   // "text", "number" (dates are numbers with a date format), "bool"
    QString value;  // the text, or the number as written
    QString format; // the number format's code, "General" when none
    bool bold = false;
};

struct Sheet {
    bool ok = false;
    QString name;
    QMap<QString, SheetCell> cells; // by reference: "A1"
    QString frozenAt;               // the first cell below a frozen pane, "A2"
    QMap<int, double> widths;       // column (1-based) to its width
    int rows = 0;                   // the last row number that holds a cell
    SheetCell at(const QString& ref) const { return cells.value(ref); }
    // A row's texts and values in column order, up to its last cell.
    QStringList row(int r) const;
};

Sheet readSheet(const QString& xlsxPath);
