#include "RuledTable.h"

QFont RuledTable::arial(int points, bool bold) {
    return QFont(QStringLiteral("Arial"), points, bold ? QFont::Bold : QFont::Normal);
}

void RuledTable::addHeadings(Band& band, double top, double height, double width,
                             std::span<const double> rules, const QStringList& headings,
                             const QFont& font) {
    band.add(Element::rect(0, top, width, height));
    for (qsizetype i = 0; i < headings.size(); ++i) {
        const size_t c = size_t(i);
        const double left = c == 0 ? 0.0 : rules[c - 1];
        const double right = c < rules.size() ? rules[c] : width;
        if (c > 0)
            band.add(Element::vline(left, top, height));
        band.add(Element::label(left, top + 1.0, right - left, 4.8, headings.at(i)))
            .withFont(font)
            .aligned(Align::Center)
            .asHeading();
    }
}
