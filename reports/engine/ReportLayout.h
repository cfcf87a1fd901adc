#pragma once

#include "PageModel.h"
#include "ReportDefinition.h"
#include "RowSource.h"

#include <QStringList>
#include <functional>
#include <memory>

// Called now and then during layout with the rows read and pages made;
// returning false cancels the layout.
using LayoutProgress = std::function<bool(qint64 rows, int pages)>;

namespace ReportLayout {
// Lays the rows out on pages once. nullptr when cancelled.
std::unique_ptr<PageModel> run(const ReportDefinition& def, RowSource& rows,
                               const LayoutProgress& progress = {});

// Breaks a text into lines no wider than `widthPx` (reference pixels):
// at line breaks, between words, and inside a word longer than the width.
QStringList breakLines(const QString& text, const QFont& referenceFont, double widthPx);

// A data field's printed text when the element has no format of its own.
QString defaultText(const QVariant& value);

// The element's font at the reference resolution.
QFont referenceFont(const QFont& pointFont);
} // namespace ReportLayout
