#pragma once

#include "Connection.h"

#include <QVariant>
#include <memory>

// A prepared statement of the register, whatever its engine; finalized when
// it goes out of scope. Values are bound by one rule everywhere:
// - a null QVariant, a null QString or a null QByteArray is NULL;
// - booleans and every integer type are 64-bit integers (true is 1);
// - floating point is a real;
// - a valid QDate is its ISO text (yyyy-MM-dd), a QDateTime likewise; an
//   invalid one is NULL;
// - a QByteArray is a blob; anything else is its text.
// Reads come by column number: a value (integers as qlonglong, reals as
// double, texts as QString, blobs as QByteArray, NULL as a null QVariant),
// or the raw parts for readers that pack rows themselves.
class Statement {
public:
    Statement(Connection& connection, const QString& sql);
    Statement(Statement&&) noexcept = default;
    Statement& operator=(Statement&&) noexcept = default;
    ~Statement();

    int parameterCount() const { return m_core->parameterCount(); }
    // Binds by position, from 1.
    void bind(int at, const QVariant& value);
    // Binds by name (":name"); StoreError when the statement has no such
    // parameter.
    void bind(const QString& name, const QVariant& value);
    // Binds the values in order from the first position.
    void bindAll(const QVariantList& values);

    bool step() { return m_core->step(); }
    void reset() { m_core->reset(); }
    // Steps to the end: for statements that return no rows.
    void run();

    int columnCount() const { return m_core->columnCount(); }
    QString columnName(int column) const { return m_core->columnName(column); }
    ColumnKind kind(int column) const { return m_core->columnKind(column); }
    bool isNull(int column) const { return kind(column) == ColumnKind::Null; }
    qint64 integer(int column) const { return m_core->columnInteger(column); }
    double real(int column) const { return m_core->columnReal(column); }
    QByteArrayView bytes(int column) const { return m_core->columnBytes(column); }
    Cell cell(int column) const {
        Cell c;
        m_core->cell(column, &c);
        return c;
    }
    void cells(int first, int count, Cell* out) const { m_core->cells(first, count, out); }
    QString text(int column) const;
    QVariant value(int column) const;

    bool writes() const { return m_core->writes(); }

private:
    std::unique_ptr<StatementCore> m_core;
};
