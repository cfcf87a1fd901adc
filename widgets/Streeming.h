#pragma once

#include "GridColumn.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QFont>
#include <optional>

class TDBGridNormal;

// One record of the column layout file: the object that carries a grid's
// column collection through the component stream format.
class TObjectWrapper {
public:
    QList<GridColumn> WrappedPersistent;
    bool hasWrappedPersistent = false; // the record gave the grid's columns
    QString CurrentClassName;          // the grid's ordinal, "0" to "3"

    // The record as stored: signature, class name, empty object name, the
    // properties and the two end markers.
    QByteArray write() const;
};

// Reads the records of a layout file one after the other. Every read is
// bounds-checked: damaged or hostile bytes end in Failed, never in a crash,
// a hang or an allocation beyond the size of the input.
class LayoutReader {
public:
    enum class Outcome {
        Loaded,        // the record was read whole
        UnknownObject, // its properties were read, then came a child object of an unknown kind
        Failed,        // damaged, truncated or no record at all: reading ends here
    };

    explicit LayoutReader(QByteArray data);
    Outcome next(TObjectWrapper* record);

    // Limits against hostile files; real layouts stay far below them.
    static constexpr qsizetype MaxFileBytes = 4 * 1024 * 1024;
    static constexpr int MaxColumns = 1024;
    static constexpr int MaxListItems = 4096;
    static constexpr int MaxDepth = 16;

private:
    QByteArray m_data;
    qsizetype m_pos = 0;
    bool m_failed = false;
};

// The column layout file of the program directory, held open from the first
// showing of the main window until it closes.
class TCustomFileStraam {
public:
    static constexpr const char* FileName = "GridColoane.cfg";

    // Opens the file for reading and writing, creating it empty when it does
    // not exist; std::runtime_error when neither can be done.
    explicit TCustomFileStraam(const QString& path);

    // Writes one record per grid, in order, from the start of the file. The
    // file is not shortened: a longer stale tail stays and is never read.
    // Fails silently.
    bool save(const QList<TDBGridNormal*>& grids);
    // Gives each grid, in order, the columns of its record. A damaged record
    // ends the loading silently, and the grids from it on keep their
    // columns; a child object of unknown kind is reported and the next grid
    // is read.
    bool load(const QList<TDBGridNormal*>& grids);

private:
    QFile m_file;
};

// What a grid shows of the stored properties of a column.
struct ColumnLook {
    std::optional<Qt::Alignment> alignment;
    std::optional<Qt::Alignment> titleAlignment;
    QColor color;              // cell background; invalid: the grid's
    QColor titleColor;         // title background
    QColor fontColor;          // cell text
    QColor titleFontColor;     // title text
    std::optional<QFont> font; // only the stored attributes are set
    std::optional<QFont> titleFont;
    bool readOnly = false;
    int dropDownRows = 7;
    bool dropDownButton = true;

    static ColumnLook of(const GridColumn& column);
};
