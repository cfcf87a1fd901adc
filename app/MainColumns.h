#pragma once

#include "GridColumn.h"

// The built-in columns of the main window's four grids.
namespace MainColumns {
QList<GridColumn> catalog();
QList<GridColumn> istoric();
QList<GridColumn> morti();
QList<GridColumn> chitante();
QStringList collectionTypes();
} // namespace MainColumns
