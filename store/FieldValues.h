#pragma once

#include "Schema.h"

#include <QVariant>

// A field's value in its three forms: typed (what the rules and grids
// read: Number double, Text QString, Date QDate, Logical bool, Long integer
// int), stored (what the database holds: dates as ISO text, logicals as
// 0/1, texts cut to size, empty text as NULL) and typed by a clerk (text).
namespace FieldValues {

QVariant toTyped(const FieldDef& f, const QVariant& stored);
QVariant toStored(const FieldDef& f, const QVariant& typed);
// The typed value of a text a clerk typed into the field; StoreError with
// the field's message when it is none. An empty text is NULL, except for
// texts.
QVariant fromText(const FieldDef& f, const QString& text);

// Whether a value is a number (a boolean counts as one, as stored).
bool isNumeric(const QVariant& v);

// The order the database gives stored values of one column: null, then
// numbers, then texts.
int compare(const QVariant& a, const QVariant& b);
// The same value, NULL only equal to NULL.
bool same(const QVariant& a, const QVariant& b);

} // namespace FieldValues
