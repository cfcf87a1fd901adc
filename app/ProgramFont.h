#pragma once

#include <QFont>

// The program's font. The grids' built-in column widths are pixel widths
// made for a compact 8-point sans: the first such family installed is
// taken, so that a personal code, a date or a column title fits the width
// designed for it (and the widths kept in the layout file keep meaning).
namespace ProgramFont {

QFont font();
// The family chosen from those installed.
QString family();

} // namespace ProgramFont
