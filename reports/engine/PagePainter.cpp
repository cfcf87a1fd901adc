#include "PagePainter.h"

#include "ReportDefinition.h"

#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <cmath>

namespace {

constexpr size_t MaxShapedLines = 8192;

// Texts that single-line drawing treats specially (right-to-left scripts,
// length variants, characters outside the basic plane) are left to drawText.
bool plain(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0x9c || (u >= 0x0590 && u < 0x0900) || c.isHighSurrogate())
            return false;
    }
    return true;
}

} // namespace

PagePainter::ShapedLines::Line PagePainter::ShapedLines::shape(const QString& text,
                                                               const QFont& font) {
    Line out;
    if (!plain(text)) {
        out.unusual = true;
        return out;
    }
    // Single-line drawing shows line breaks and tabs as spaces.
    QString single = text;
    for (QChar& c : single) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    QTextLayout layout(single, font);
    QTextOption option;
    option.setTextDirection(Qt::LeftToRight);
    option.setAlignment(Qt::AlignLeft);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid()) {
        line.setLineWidth(0x01000000);
        line.setPosition(QPointF(0, 0));
    }
    layout.endLayout();
    if (line.isValid()) {
        out.advance = line.horizontalAdvance();
        out.runs = line.glyphRuns();
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

void PagePainter::paint(QPainter& p, const PageModel& model, int page, double pxPerMmX,
                        double pxPerMmY, ShapedLines* shaped) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    // Work in reference pixels, the unit the fonts were measured in.
    p.scale(pxPerMmX / PageModel::mmToRef(1.0), pxPerMmY / PageModel::mmToRef(1.0));
    const double k = PageModel::mmToRef(1.0);
    int currentFont = -1;
    // One pen for everything: texts only take its colour, so it changes
    // only when a rule's width does.
    QPen pen(Qt::black);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    ShapedLines::Line oneOff;
    for (const PageItem& it : model.page(page)) {
        switch (it.kind) {
        case PageItem::Text:
        case PageItem::PageNumberText: {
            const QRectF r(it.x * k, it.y * k, it.w * k, it.h * k);
            const ShapedLines::Line* line;
            if (shaped && it.kind == PageItem::Text) {
                line = &shaped->get(model, it.text, it.style);
            } else {
                oneOff = ShapedLines::shape(model.itemText(page, it), model.font(it.style));
                line = &oneOff;
            }
            if (line->unusual) {
                if (currentFont != it.style) {
                    p.setFont(model.font(it.style));
                    currentFont = it.style;
                }
                int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
                if (Align(it.align) == Align::Center)
                    flags |= Qt::AlignHCenter;
                else if (Align(it.align) == Align::Right)
                    flags |= Qt::AlignRight;
                p.drawText(r, flags, model.itemText(page, it));
                break;
            }
            // As single-line drawText places it: top of the line at the
            // box's top, aligned on the line's advance.
            double x = r.x();
            if (Align(it.align) == Align::Center)
                x += (r.width() - line->advance) / 2;
            else if (Align(it.align) == Align::Right)
                x += r.width() - line->advance;
            for (const QGlyphRun& run : line->runs)
                p.drawGlyphRun(QPointF(x, r.y()), run);
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
