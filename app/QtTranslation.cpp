#include "QtTranslation.h"

#include <QCoreApplication>
#include <QTranslator>

namespace QtTranslation {

bool install() {
    static QTranslator translator;
    if (!translator.isEmpty())
        return true;
    if (!translator.load(QStringLiteral(":/i18n/qtbase_ro.qm")))
        return false;
    return QCoreApplication::installTranslator(&translator);
}

} // namespace QtTranslation
