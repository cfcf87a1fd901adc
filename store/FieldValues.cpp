#include "FieldValues.h"

#include "StoreError.h"
#include "Values.h"

#include <QDateTime>

namespace FieldValues {

bool isNumeric(const QVariant& v) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Bool:
    case QMetaType::ULongLong:
    case QMetaType::UInt:
        return true;
    default:
        return false;
    }
}

int compare(const QVariant& a, const QVariant& b) {
    const bool an = a.isNull(), bn = b.isNull();
    if (an || bn)
        return an == bn ? 0 : (an ? -1 : 1);
    const bool anum = isNumeric(a), bnum = isNumeric(b);
    if (anum && bnum) {
        const double x = a.toDouble(), y = b.toDouble();
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (anum != bnum)
        return anum ? -1 : 1;
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
        return static_cast<const QString*>(a.constData())
            ->compare(*static_cast<const QString*>(b.constData()), Qt::CaseSensitive);
    return a.toString().compare(b.toString(), Qt::CaseSensitive);
}

bool same(const QVariant& a, const QVariant& b) {
    return a.isNull() == b.isNull() && compare(a, b) == 0;
}

QVariant toTyped(const FieldDef& f, const QVariant& s) {
    if (s.isNull())
        return {};
    switch (f.type) {
    case FieldType::Number:
        return s.toDouble();
    case FieldType::Date: {
        const QDate d = Values::storedToDate(s);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case FieldType::Logical:
        if (s.typeId() == QMetaType::QString)
            return s.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 ||
                   s.toString() == QLatin1String("1");
        return s.toDouble() != 0;
    case FieldType::LongInt:
        return s.toInt();
    case FieldType::Text:
    case FieldType::Memo:
        return s.toString();
    }
    return s;
}

QVariant toStored(const FieldDef& f, const QVariant& v) {
    if (v.isNull() || !v.isValid())
        return {};
    switch (f.type) {
    case FieldType::Number:
        if (v.typeId() == QMetaType::QString) {
            double d = 0;
            if (!Values::textToNumber(v.toString(), &d))
                return {};
            return d;
        }
        return v.toDouble();
    case FieldType::Date: {
        QDate d;
        if (v.typeId() == QMetaType::QDate)
            d = v.toDate();
        else if (v.typeId() == QMetaType::QDateTime)
            d = v.toDateTime().date();
        else
            d = Values::storedToDate(v);
        return d.isValid() ? QVariant(Values::dateToStored(d)) : QVariant();
    }
    case FieldType::Logical:
        return v.toBool() ? 1 : 0;
    case FieldType::LongInt:
        return static_cast<qlonglong>(v.toLongLong());
    case FieldType::Text: {
        const QString s = Values::cutText(v.toString(), f.size);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    case FieldType::Memo: {
        const QString s = v.toString();
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    }
    return v;
}

QVariant fromText(const FieldDef& f, const QString& text) {
    const QString t = text.trimmed();
    if (t.isEmpty() && f.type != FieldType::Text && f.type != FieldType::Memo)
        return {};
    switch (f.type) {
    case FieldType::Number:
    case FieldType::LongInt: {
        double d = 0;
        if (!Values::textToNumber(t, &d))
            throw StoreError(QStringLiteral("'%1' nu este o valoare numerica valida").arg(text));
        if (f.type == FieldType::LongInt && (d != static_cast<double>(static_cast<qint32>(d))))
            throw StoreError(QStringLiteral("'%1' nu este un numar intreg valid").arg(text));
        return d;
    }
    case FieldType::Date: {
        const QDate d = Values::textToDate(t);
        if (!d.isValid())
            throw StoreError(QStringLiteral("'%1' nu este o data valida").arg(text));
        return d;
    }
    case FieldType::Logical: {
        const QString u = t.toLower();
        if (u == QLatin1String("true") || u == QLatin1String("da") || u == QLatin1String("1"))
            return true;
        if (u == QLatin1String("false") || u == QLatin1String("nu") || u == QLatin1String("0"))
            return false;
        throw StoreError(QStringLiteral("'%1' nu este o valoare logica valida").arg(text));
    }
    case FieldType::Text:
    case FieldType::Memo:
        return text;
    }
    return text;
}

} // namespace FieldValues
