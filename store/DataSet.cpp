#include "DataSet.h"

#include "Values.h"

QString DataSet::asString(const QString& name) const {
    const QVariant v = value(name);
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return Values::dateToText(v.toDate());
    case QMetaType::Double:
        return Values::numberToText(v.toDouble());
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return v.toString();
    }
}
