#pragma once

// A page of a PDF as pdftoppm renders it, beside the painter's own raster
// of the same page of the model: text extraction reads a PDF's text map,
// not its glyph outlines, so only a rendered page shows broken glyphs.

#include "PageModel.h"
#include "PagePainter.h"

#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <utility>

// Page `page` (0-based) of `pdf` in grey at `dpi`; null when it cannot be read.
inline QImage renderPdfPage(const QString& pdf, int page, const QString& prefix, int dpi = 100) {
    const QString n = QString::number(page + 1);
    QProcess tool;
    tool.start(QStringLiteral("pdftoppm"),
               {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
                QStringLiteral("-f"), n, QStringLiteral("-l"), n, QStringLiteral("-singlefile"),
                pdf, prefix});
    if (!tool.waitForFinished(60000))
        return {};
    return QImage(prefix + QStringLiteral(".pgm")).convertToFormat(QImage::Format_Grayscale8);
}

// The painter's raster of the page, the size of `like`.
inline QImage paintPage(const PageModel& m, int page, QSize size) {
    QImage own(size, QImage::Format_Grayscale8);
    own.fill(Qt::white);
    QPainter p(&own);
    PagePainter::paint(p, m, page, own.width() / m.paperMm.width(),
                       own.height() / m.paperMm.height());
    return own;
}

// Ink pixels of `a`, and how many of them have no ink of `b` within a pixel.
// Any visible grey of `b` counts: a rule thinner than a pixel is grey in one
// renderer's anti-aliasing and black in another's.
inline std::pair<qint64, qint64> inkMisses(const QImage& a, const QImage& b) {
    qint64 ink = 0, missed = 0;
    for (int y = 1; y + 1 < a.height(); ++y) {
        for (int x = 1; x + 1 < a.width(); ++x) {
            if (a.constScanLine(y)[x] >= 128)
                continue;
            ++ink;
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy)
                for (int dx = -1; dx <= 1 && !near; ++dx)
                    near = b.constScanLine(y + dy)[x + dx] < 224;
            missed += near ? 0 : 1;
        }
    }
    return {ink, missed};
}

// Empty when the rendered page and the painter's raster carry the same ink
// (under 1 % either way, to allow for anti-aliasing); else what differs.
inline QString sameInk(const QImage& fromPdf, const QImage& own, qint64 minInk = 1000) {
    if (fromPdf.isNull() || fromPdf.size() != own.size())
        return QStringLiteral("no page rendered");
    const auto [ownInk, ownMissed] = inkMisses(own, fromPdf);
    const auto [pdfInk, pdfMissed] = inkMisses(fromPdf, own);
    if (ownInk >= minInk && ownMissed * 100 < ownInk && pdfMissed * 100 < pdfInk)
        return {};
    return QStringLiteral("%1 of %2 / %3 of %4 ink pixels differ")
        .arg(ownMissed)
        .arg(ownInk)
        .arg(pdfMissed)
        .arg(pdfInk);
}
