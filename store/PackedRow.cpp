#include "PackedRow.h"

#include "FieldValues.h"
#include "Statement.h"

#include <cstring>

namespace PackedRow {

namespace {

void putNumber(QByteArray& out, char kind, const void* eight) {
    out.append(kind);
    out.append(static_cast<const char*>(eight), 8);
}

} // namespace

void putNull(QByteArray& out) {
    out.append(char(Null));
}

void putInteger(QByteArray& out, qint64 n) {
    putNumber(out, Integer, &n);
}

void putReal(QByteArray& out, double d) {
    putNumber(out, Real, &d);
}

void putText(QByteArray& out, const char* utf8, qsizetype bytes) {
    out.append(char(Text));
    quint64 n = quint64(bytes);
    do { // the length in 7-bit groups, low first
        out.append(char((n & 0x7f) | (n > 0x7f ? 0x80 : 0)));
        n >>= 7;
    } while (n);
    out.append(utf8, bytes);
}

void putColumn(QByteArray& out, const Statement& st, int column, bool asReal) {
    putCell(out, st.cell(column), asReal);
}

void putCell(QByteArray& out, const Cell& c, bool asReal) {
    switch (c.kind) {
    case ColumnKind::Null:
        putNull(out);
        break;
    case ColumnKind::Integer:
        if (asReal)
            putReal(out, double(c.integer));
        else
            putInteger(out, c.integer);
        break;
    case ColumnKind::Real:
        putReal(out, c.real);
        break;
    case ColumnKind::Text:
    case ColumnKind::Blob:
        putText(out, c.bytes.data(), c.bytes.size());
    }
}

QByteArray pack(const QVector<QVariant>& values, int count) {
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        const QVariant& v = values.value(i);
        // A null text is NULL, as the database stores it.
        if (v.isNull() || !v.isValid() ||
            (v.typeId() == QMetaType::QString && v.toString().isNull())) {
            putNull(out);
        } else if (v.typeId() == QMetaType::Double) {
            putReal(out, v.toDouble());
        } else if (FieldValues::isNumeric(v)) {
            putInteger(out, v.toLongLong());
        } else {
            const QByteArray utf8 = v.toString().toUtf8();
            putText(out, utf8.constData(), utf8.size());
        }
    }
    out.squeeze();
    return out;
}

Value at(const QByteArray& block, int field) {
    const char* p = block.constData();
    const char* end = p + block.size();
    for (int i = 0; p < end; ++i) {
        Value v;
        v.kind = *p++;
        if (v.kind == Integer || v.kind == Real) {
            v.data = p;
            v.bytes = 8;
        } else if (v.kind == Text) {
            quint64 n = 0;
            int shift = 0;
            while (p < end) {
                const auto c = static_cast<unsigned char>(*p++);
                n |= quint64(c & 0x7f) << shift;
                shift += 7;
                if (!(c & 0x80))
                    break;
            }
            v.data = p;
            v.bytes = qsizetype(n);
        }
        // A block cut short never reads past its end.
        if (v.bytes > end - p)
            return {};
        if (i == field)
            return v;
        p += v.bytes;
    }
    return {};
}

QVariant toVariant(const Value& v) {
    switch (v.kind) {
    case Integer: {
        qint64 n;
        std::memcpy(&n, v.data, 8);
        return qlonglong(n);
    }
    case Real: {
        double d;
        std::memcpy(&d, v.data, 8);
        return d;
    }
    case Text:
        return QString::fromUtf8(v.data, v.bytes);
    default:
        return {};
    }
}

QVector<QVariant> unpack(const QByteArray& block, int count) {
    QVector<QVariant> out(count);
    for (int i = 0; i < count; ++i)
        out[i] = toVariant(at(block, i));
    return out;
}

} // namespace PackedRow
