#include "PagePainter.h"

#include "ReportDefinition.h"

#include <QPaintDevice>
#include <QPainter>

namespace {

constexpr size_t MaxShapedLines = 8192;

} // namespace

PagePainter::ShapedLines::Line PagePainter::ShapedLines::shape(QStringView text,
                                                               const QFont& font) {
    Line out;
    m_shaper.shape(text, font, m_shaped);
    out.advance = m_shaped.advance;
    for (const TextShaper::Run& r : m_shaped.runs) {
        QGlyphRun run;
        run.setRawFont(m_shaper.sized(r.sized).raw);
        QList<quint32> glyphs(qsizetype(r.count));
        QList<QPointF> positions(qsizetype(r.count));
        for (size_t i = 0; i < r.count; ++i) {
            glyphs[qsizetype(i)] = m_shaped.glyphs[r.first + i];
            positions[qsizetype(i)] = QPointF(m_shaped.x[r.first + i], r.baseline);
        }
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        out.runs << run;
    }
    return out;
}

const PagePainter::ShapedLines::Line& PagePainter::ShapedLines::get(const PageModel& model,
                                                                    quint32 text, quint16 font) {
    const quint64 key = (quint64(text) << 16) | font;
    auto found = m_lines.find(key);
    if (found != m_lines.end())
        return found->second;
    if (m_lines.size() >= MaxShapedLines)
        m_lines.clear();
    return m_lines.emplace(key, shape(model.string(text), model.font(font))).first->second;
}

double PagePainter::lineLeft(const PageItem& it, double advance, double k) {
    switch (Align(it.align)) {
    case Align::Center:
        return it.x * k + (it.w * k - advance) / 2;
    case Align::Right:
        return it.x * k + it.w * k - advance;
    case Align::Left:
        break;
    }
    return it.x * k;
}

void PagePainter::paint(QPainter& p, const PageModel& model, int page, double pxPerMmX,
                        double pxPerMmY, ShapedLines* shaped) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    // Work in reference pixels, the unit the fonts were measured in.
    p.scale(pxPerMmX / PageModel::mmToRef(1.0), pxPerMmY / PageModel::mmToRef(1.0));
    const double k = PageModel::mmToRef(1.0);
    // One pen for everything: texts only take its colour, so it changes
    // only when a rule's width does.
    QPen pen(Qt::black);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    ShapedLines local;
    if (!shaped)
        shaped = &local;
    ShapedLines::Line oneOff;
    for (const PageItem& it : model.page(page)) {
        switch (it.kind) {
        case PageItem::Text:
        case PageItem::PageNumberText: {
            const ShapedLines::Line* line;
            if (it.kind == PageItem::Text) {
                line = &shaped->get(model, it.text, it.style);
            } else {
                oneOff = shaped->shape(model.itemText(page, it), model.font(it.style));
                line = &oneOff;
            }
            // As single-line drawText places it: top of the line at the
            // box's top, aligned on the line's advance.
            const double x = lineLeft(it, line->advance, k);
            for (const QGlyphRun& run : line->runs)
                p.drawGlyphRun(QPointF(x, it.y * k), run);
            break;
        }
        case PageItem::Rect:
        case PageItem::Line: {
            const double width = it.style * 0.01 * k;
            if (pen.widthF() != width) {
                pen.setWidthF(width);
                p.setPen(pen);
            }
            if (it.kind == PageItem::Rect)
                p.drawRect(QRectF(it.x * k, it.y * k, it.w * k, it.h * k));
            else
                p.drawLine(QPointF(it.x * k, it.y * k),
                           QPointF((it.x + it.w) * k, (it.y + it.h) * k));
            break;
        }
        }
    }
    p.restore();
}

void PagePainter::paint(QPainter& p, const PageModel& model, int page, ShapedLines* shaped) {
    QPaintDevice* d = p.device();
    paint(p, model, page, d->logicalDpiX() / 25.4, d->logicalDpiY() / 25.4, shaped);
}
