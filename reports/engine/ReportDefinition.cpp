#include "ReportDefinition.h"

QVariant PrintContext::value(const QString& field) const {
    if (!m_names || !m_row)
        return {};
    const qsizetype i = m_names->indexOf(field);
    return i >= 0 ? m_row->value(i) : QVariant();
}

namespace {
Element make(ElementKind kind, double left, double top, double width, double height) {
    Element e;
    e.kind = kind;
    e.left = left;
    e.top = top;
    e.width = width;
    e.height = height;
    return e;
}
} // namespace

Element Element::label(double left, double top, double width, double height, const QString& text) {
    Element e = make(ElementKind::Label, left, top, width, height);
    e.text = text;
    return e;
}

Element Element::data(double left, double top, double width, double height, const QString& field) {
    Element e = make(ElementKind::DataText, left, top, width, height);
    e.field = field;
    return e;
}

Element Element::memo(double left, double top, double width, double height, const QString& text) {
    Element e = make(ElementKind::Memo, left, top, width, height);
    e.text = text;
    e.wordWrap = true;
    return e;
}

Element Element::date(double left, double top, double width, double height) {
    return make(ElementKind::SystemDate, left, top, width, height);
}

Element Element::pageNumber(double left, double top, double width, double height,
                            const QString& prefix) {
    Element e = make(ElementKind::PageNumber, left, top, width, height);
    e.text = prefix;
    return e;
}

Element Element::total(double left, double top, double width, double height, const QString& field,
                       bool resetAfterPrint) {
    Element e = make(ElementKind::Total, left, top, width, height);
    e.field = field;
    e.resetAfterPrint = resetAfterPrint;
    e.align = Align::Right;
    return e;
}

Element Element::rect(double left, double top, double width, double height) {
    return make(ElementKind::Rectangle, left, top, width, height);
}

Element Element::vline(double x, double top, double height) {
    return make(ElementKind::VLine, x, top, 0, height);
}

Element Element::hline(double left, double y, double width) {
    return make(ElementKind::HLine, left, y, width, 0);
}

QSizeF ReportDefinition::paperMm() const {
    const QSizeF s = pageSize.size(QPageSize::Millimeter);
    return orientation == QPageLayout::Landscape ? s.transposed() : s;
}
