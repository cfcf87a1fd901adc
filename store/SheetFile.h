#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

// A spreadsheet written row by row: an .xlsx workbook (through libxlsxwriter)
// with one sheet, or a .csv file as a Romanian spreadsheet opens it (UTF-8
// with a byte order mark, ';' between fields, quotes where needed). Numbers
// stay numbers, dates are dates shown dd.mm.yyyy, texts stay texts (a
// personal code is never turned into 1.85E+12). The file appears under its
// name only when close() succeeds; until then it is written under a
// temporary name beside it, removed when the writer is dropped unfinished.
class SheetFile {
public:
    enum class Kind { Xlsx, Csv };
    // .csv gives Csv, anything else Xlsx.
    static Kind kindOf(const QString& path);

    // `sheetName` is cut to what a sheet's name may hold.
    SheetFile(const QString& path, const QString& sheetName);
    SheetFile(const QString& path, const QString& sheetName, Kind kind);
    ~SheetFile();
    SheetFile(const SheetFile&) = delete;
    SheetFile& operator=(const SheetFile&) = delete;

    // Cells of the current row, left to right from column 0; `bold` for
    // headings, group rows and totals. `decimals` < 0 shows the number as
    // it is (General).
    void text(const QString& value, bool bold = false);
    void number(double value, int decimals = 2, bool bold = false);
    void date(const QDate& value, bool bold = false);
    void blank();
    // A text that may run over the empty cells to its right (a title, a
    // group's line): it does not widen its column.
    void note(const QString& value, bool bold = false);
    // Ends the current row (an empty row when nothing was written).
    void endRow();
    // Keeps the rows up to and including the current one in view when
    // scrolling (the heading row). XLSX only.
    void freezeAbove();

    int row() const { return m_row; }
    // Finishes the file and puts it under its name; StoreError when it cannot.
    void close();

private:
    struct Xlsx;
    void put(const QString& csvText, int width);

    QString m_path;
    QString m_partial;
    Kind m_kind;
    std::unique_ptr<Xlsx> m_x;
    QByteArray m_csv; // the current row, then flushed
    std::unique_ptr<class QFile> m_file;
    int m_row = 0;
    int m_col = 0;
    QVector<int> m_widths; // characters, per column
    bool m_closed = false;
};
