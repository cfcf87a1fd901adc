#pragma once

#include "PageModel.h"

#include <QString>
#include <functional>

class QIODevice;

// Our own PDF writer for the page model. Qt's PDF engine positions every
// glyph with an operator of its own and compresses hard, which made a list
// of a few thousand pages take seconds per thousand pages. Here every line
// is one text operator, page streams are compressed fast, and each font is
// embedded once, cut down to the glyphs the report uses (TrueType or CFF
// outlines; glyphs of a font with neither are drawn as paths). It draws the
// same glyphs at the same places as the preview and the printer (TextShaper).
namespace PdfOutput {

enum class Result {
    Written,
    Cancelled,
    Failed, // `error` says why
};

// Called with the pages done and the total; false cancels.
using Progress = std::function<bool(int done, int total)>;

// Writes the whole model to `out`, which must be open for writing.
Result write(const PageModel& model, QIODevice& out, QString* error, const Progress& progress = {});

} // namespace PdfOutput
