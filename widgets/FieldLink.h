#pragma once

#include <functional>

class QObject;
class Table;

// How a data edit follows the current row of its table. Shared by the
// single-line edit and the memo, which differ only in how they show and
// take their text.
namespace FieldLink {

// Unties `edit` from `previous` (may be null) and ties it to `table` (may be
// null): on another row, after a reset, or when the row's edit ends, `dirty`
// is cleared and `load` shows what is stored; when the shown row changes
// while nothing is being typed, `load` shows the new value; when the table
// gathers pending texts (before a post), `flush` hands the typed text over.
void bind(QObject* edit, Table* previous, Table* table, bool& dirty,
          const std::function<void()>& load, const std::function<void()>& flush);

} // namespace FieldLink
