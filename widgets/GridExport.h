#pragma once

#include <QString>
#include <functional>

class QWidget;
class TDBGridNormal;

// A data grid written to a spreadsheet as it shows: the rows of its table's
// current view (filter and order), the visible columns in the order shown,
// their titles as shown in a bold first row kept in view; numbers as
// numbers, dates as dates, texts as texts. An .xlsx or .csv file by the
// name's ending.
namespace GridExport {

// `progress` (rows done, rows in all) is asked every few rows; false stops
// the export with Abort and leaves no file. StoreError when the file cannot
// be written. Returns the number of rows written.
int write(TDBGridNormal& grid, const QString& path,
          const std::function<bool(int done, int total)>& progress = {});

// The menu command "Sistem" -> "Exporta tabelul curent...": saves the row
// being typed, asks for the file, writes it under a progress window with
// "Renunta" and says how many rows it holds.
void run(TDBGridNormal* grid, QWidget* parent);

// Where the file is asked for; replaceable so that tests need no dialog.
// Returns the path chosen, empty for Cancel.
using FileChooser = std::function<QString(QWidget* parent, const QString& suggested)>;
void setFileChooser(FileChooser chooser);

} // namespace GridExport
