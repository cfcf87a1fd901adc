#pragma once

#include "ReportDefinition.h"
#include "ReportLayout.h"
#include "RowSource.h"

#include <QString>

// A report written as a spreadsheet (.xlsx, or .csv by the name's ending)
// instead of pages: the same definition and rows, with the print hooks run
// in the layout's order, so that the rows shown, their numbers and the
// totals are those of the print.
//
//  - On top, the texts of the page and column headers that are not column
//    headings, one row per line (the list's title and its date).
//  - The column headings (elements marked `heading`), one bold row per
//    line, kept in view. The lowest line names the columns: each text of
//    the detail band goes in the column of the heading it stands under
//    (the most horizontal overlap); a heading with nothing under it is an
//    empty column, as on paper. A definition's own `sheetColumns` replace
//    the detail band's texts.
//  - One row per printed detail; each group header, group footer and the
//    summary as a bold row of its own: its texts as one line in the first
//    column, its totals as numbers in the column of their field.
//  - Cells by the element's SheetKind: dates as dates, amounts as numbers
//    with two decimals, the rest as printed text.
namespace ReportSheet {

enum class Result { Written, Empty, Cancelled };

// Writes `path` under a temporary name first (SheetFile); StoreError when
// it cannot. A report without rows writes nothing and gives Empty (unless
// the definition prints when empty), as it gives no pages. `progress` is
// asked every few hundred rows; false stops with Cancelled and no file.
// `detailRows`, when given, receives the number of detail rows written.
Result write(const ReportDefinition& def, RowSource& rows, const QString& path,
             const QString& sheetName, const LayoutProgress& progress = {},
             qint64* detailRows = nullptr);

} // namespace ReportSheet
