#include "ProgramFont.h"

#include <QFontDatabase>
#include <QStringList>

namespace ProgramFont {

QString family() {
    // Narrowest first among the metric-compatible families the program
    // ships with; the original system font wins where it really exists.
    const QStringList wanted = {
        QStringLiteral("MS Sans Serif"),         QStringLiteral("Liberation Sans Narrow"),
        QStringLiteral("Arial Narrow"),          QStringLiteral("Nimbus Sans Narrow"),
        QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"),
    };
    const QStringList installed = QFontDatabase::families();
    for (const QString& f : wanted)
        if (installed.contains(f, Qt::CaseInsensitive))
            return f;
    return QFont().family();
}

QFont font() {
    return QFont(family(), 8);
}

} // namespace ProgramFont
