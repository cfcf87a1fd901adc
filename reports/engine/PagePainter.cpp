#include "PagePainter.h"

#include "ReportDefinition.h"

#include <QPaintDevice>
#include <QPainter>

void PagePainter::paint(QPainter& p, const PageModel& model, int page, double pxPerMmX,
                        double pxPerMmY) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    // Work in reference pixels, the unit the fonts were measured in.
    p.scale(pxPerMmX / PageModel::mmToRef(1.0), pxPerMmY / PageModel::mmToRef(1.0));
    const double k = PageModel::mmToRef(1.0);
    int currentFont = -1;
    QPen pen(Qt::black);
    p.setBrush(Qt::NoBrush);
    for (const PageItem& it : model.page(page)) {
        switch (it.kind) {
        case PageItem::Text:
        case PageItem::PageNumberText: {
            if (currentFont != it.style) {
                p.setFont(model.font(it.style));
                currentFont = it.style;
            }
            p.setPen(Qt::black);
            int flags = Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip;
            switch (Align(it.align)) {
            case Align::Center:
                flags |= Qt::AlignHCenter;
                break;
            case Align::Right:
                flags |= Qt::AlignRight;
                break;
            default:
                flags |= Qt::AlignLeft;
            }
            p.drawText(QRectF(it.x * k, it.y * k, it.w * k, it.h * k), flags,
                       model.itemText(page, it));
            break;
        }
        case PageItem::Rect:
        case PageItem::Line:
            pen.setWidthF(it.style * 0.01 * k);
            p.setPen(pen);
            if (it.kind == PageItem::Rect)
                p.drawRect(QRectF(it.x * k, it.y * k, it.w * k, it.h * k));
            else
                p.drawLine(QPointF(it.x * k, it.y * k),
                           QPointF((it.x + it.w) * k, (it.y + it.h) * k));
            break;
        }
    }
    p.restore();
}

void PagePainter::paint(QPainter& p, const PageModel& model, int page) {
    QPaintDevice* d = p.device();
    paint(p, model, page, d->logicalDpiX() / 25.4, d->logicalDpiY() / 25.4);
}
