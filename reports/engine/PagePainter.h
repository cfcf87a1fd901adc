#pragma once

#include "PageModel.h"
#include "TextShaper.h"

#include <QGlyphRun>
#include <QList>
#include <unordered_map>

class QPainter;
class QPaintDevice;

namespace PagePainter {

// Text lines shaped once and kept as glyph runs, for an output that draws
// many pages of one model: the same line (a heading, a memo line, a date)
// is not shaped again on every page. Bounded, so a long report's unique
// lines do not pile up.
class ShapedLines {
public:
    struct Line {
        QList<QGlyphRun> runs;
        double advance = 0; // reference pixels, for alignment
    };
    const Line& get(const PageModel& model, quint32 text, quint16 font);
    // The same for a text the model does not hold as one string (page numbers).
    Line shape(QStringView text, const QFont& font);

private:
    TextShaper m_shaper;
    TextShaper::ShapedText m_shaped;
    std::unordered_map<quint64, Line> m_lines;
};

// Where a text line of `advance` reference pixels starts in its item's box,
// as single-line drawing aligns it; `k` is reference pixels per mm.
double lineLeft(const PageItem& item, double advance, double k);

// Draws one page of the model with the paper's top-left corner at the
// painter's origin, at the given device pixels per mm. The lines are drawn
// as the layout broke them; nothing is wrapped again here.
void paint(QPainter& painter, const PageModel& model, int page, double pxPerMmX, double pxPerMmY,
           ShapedLines* shaped = nullptr);
// The same on a device whose origin is the paper's corner (full-page printer, PDF).
void paint(QPainter& painter, const PageModel& model, int page, ShapedLines* shaped = nullptr);
} // namespace PagePainter
