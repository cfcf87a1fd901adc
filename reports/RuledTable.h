#pragma once

#include "ReportDefinition.h"

#include <QFont>
#include <QStringList>
#include <span>

// What the office's ruled lists share: their Arial texts and the ruled row
// of column headings.
namespace RuledTable {

QFont arial(int points, bool bold = false);

// A box `width` mm wide and `height` high at `top`, a rule at each of
// `rules` (the right edges of all columns but the last), and each heading
// centred in its column.
void addHeadings(Band& band, double top, double height, double width, std::span<const double> rules,
                 const QStringList& headings, const QFont& font);

} // namespace RuledTable
