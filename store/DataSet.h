#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QVariant>

// What tables and queries have in common: fields of a current row, read by
// name. A detail table links to any DataSet as its master.
class DataSet : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isActive() const = 0;
    virtual bool hasField(const QString& name) const = 0;
    // The current row's value, typed: Number double, Text/Memo QString,
    // Date QDate, Logical bool, Long integer int; null as a null QVariant.
    virtual QVariant value(const QString& name) const = 0;

    bool isNull(const QString& name) const { return value(name).isNull(); }
    QString asString(const QString& name) const;
    // Null reads as 0, as an aggregate over no rows does.
    double asFloat(const QString& name) const { return value(name).toDouble(); }
    int asInteger(const QString& name) const { return value(name).toInt(); }
    QDate asDate(const QString& name) const { return value(name).toDate(); }
    bool asBool(const QString& name) const { return value(name).toBool(); }

signals:
    // The current row changed, or its stored values did: links follow it.
    void scrolled();
};
