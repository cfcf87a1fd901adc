#include "Statement.h"

#include "Values.h"

#include <QDateTime>

Statement::Statement(Connection& connection, const QString& sql)
    : m_core(connection.prepare(sql)) {}

Statement::~Statement() = default;

namespace {

bool isNullValue(const QVariant& v) {
    if (v.isNull())
        return true;
    // A null text or byte array is NULL to the store, not an empty value.
    switch (v.typeId()) {
    case QMetaType::QString:
        return static_cast<const QString*>(v.constData())->isNull();
    case QMetaType::QByteArray:
        return static_cast<const QByteArray*>(v.constData())->isNull();
    default:
        return false;
    }
}

} // namespace

void Statement::bind(int at, const QVariant& v) {
    StatementCore& s = *m_core;
    if (isNullValue(v)) {
        s.bindNull(at);
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        s.bindInteger(at, v.toLongLong());
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        s.bindReal(at, v.toDouble());
        return;
    case QMetaType::QByteArray:
        s.bindBlob(at, *static_cast<const QByteArray*>(v.constData()));
        return;
    case QMetaType::QDate:
        if (v.toDate().isValid())
            s.bindText(at, Values::dateToStored(v.toDate()));
        else
            s.bindNull(at);
        return;
    case QMetaType::QDateTime:
        if (v.toDateTime().isValid())
            s.bindText(at, v.toDateTime().toString(Qt::ISODateWithMs));
        else
            s.bindNull(at);
        return;
    case QMetaType::QTime:
        s.bindText(at, v.toTime().toString(QStringLiteral("hh:mm:ss.zzz")));
        return;
    case QMetaType::QString:
        s.bindText(at, *static_cast<const QString*>(v.constData()));
        return;
    default:
        s.bindText(at, v.toString());
    }
}

void Statement::bind(const QString& name, const QVariant& value) {
    const int at = m_core->parameterIndex(name);
    if (at <= 0)
        throw StoreError(QStringLiteral("Parametrul %1 nu exista in interogare").arg(name));
    bind(at, value);
}

void Statement::bindAll(const QVariantList& values) {
    if (values.size() != parameterCount())
        throw StoreError(QStringLiteral("Numarul parametrilor nu se potriveste cu interogarea"));
    for (int i = 0; i < values.size(); ++i)
        bind(i + 1, values.at(i));
}

void Statement::run() {
    while (step()) {
    }
}

QString Statement::text(int column) const {
    const QByteArrayView b = bytes(column);
    return QString::fromUtf8(b.data(), b.size());
}

QVariant Statement::value(int column) const {
    const Cell c = cell(column);
    switch (c.kind) {
    case ColumnKind::Null:
        return {};
    case ColumnKind::Integer:
        return QVariant(qlonglong(c.integer));
    case ColumnKind::Real:
        return QVariant(c.real);
    case ColumnKind::Text:
        return QVariant(QString::fromUtf8(c.bytes));
    case ColumnKind::Blob:
        return QVariant(c.bytes.toByteArray());
    }
    return {};
}
