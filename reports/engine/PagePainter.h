#pragma once

#include "PageModel.h"

class QPainter;
class QPaintDevice;

namespace PagePainter {
// Draws one page of the model with the paper's top-left corner at the
// painter's origin, at the given device pixels per mm. The lines are drawn
// as the layout broke them; nothing is wrapped again here.
void paint(QPainter& painter, const PageModel& model, int page, double pxPerMmX, double pxPerMmY);
// The same on a device whose origin is the paper's corner (full-page printer, PDF).
void paint(QPainter& painter, const PageModel& model, int page);
} // namespace PagePainter
