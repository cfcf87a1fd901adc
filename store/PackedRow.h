#pragma once

#include <QByteArray>
#include <QVariant>
#include <QVector>

class Statement;
struct Cell;

// A row's stored values packed in one block, so that a hundred thousand
// kept rows stay light: per field a kind byte, then numbers as 8 bytes and
// texts as UTF-8 after their length in 7-bit groups. Pure functions.
namespace PackedRow {

enum Kind : char { Null, Integer, Real, Text };

// One packed value: its kind and its bytes inside the block.
struct Value {
    char kind = Null;
    const char* data = nullptr;
    qsizetype bytes = 0;
};

void putNull(QByteArray& out);
void putInteger(QByteArray& out, qint64 n);
void putReal(QByteArray& out, double d);
void putText(QByteArray& out, const char* utf8, qsizetype bytes);
// A statement's column as the next packed value; an integer column is
// packed as a real when `asReal` (a Number field read back whole).
void putColumn(QByteArray& out, const Statement& st, int column, bool asReal);
void putCell(QByteArray& out, const Cell& c, bool asReal);

// Packs values: texts (and anything not a number) as text, doubles as
// reals, other numbers as integers, null or invalid as Null.
QByteArray pack(const QVector<QVariant>& values, int count);

// The field's value in the block; a Null value past its end.
Value at(const QByteArray& block, int field);
QVariant toVariant(const Value& v);
QVector<QVariant> unpack(const QByteArray& block, int count);

} // namespace PackedRow
