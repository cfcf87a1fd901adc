#pragma once

#include "Schema.h"
#include "StoreError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <memory>

// The one door to the database. Tables, queries, reports, the upgrade, the
// backup and the import reach the register only through a Connection and
// the statements it prepares; each engine (the SQLite file, a server) is
// one implementation of it. Nothing outside an implementation sees the
// engine's own handles or codes.
//
// The contract every implementation keeps:
// - Every failure is raised as StoreError, sorted into a FailureKind and
//   worded through StoreFailure (so the clerk reads one text per kind,
//   whatever the engine). No call returns an error code.
// - SQL is the portable subset the program writes: tables and columns in
//   double quotes, parameters as :name or ?, dates as ISO text. Where an
//   engine needs its own statement (the catalogue, BEGIN), the
//   implementation holds it.
// - A statement sees the connection's own uncommitted writes.

// The kind of a column's value in the current result row.
enum class ColumnKind { Null, Integer, Real, Text, Blob };

// One column's value in the current row, read in one call: the kind, and
// the number or the bytes (UTF-8 for a text) that go with it.
struct Cell {
    ColumnKind kind = ColumnKind::Null;
    qint64 integer = 0;
    double real = 0;
    QByteArrayView bytes;
};

// One prepared statement of an engine. Positions of parameters and columns
// count from 1 and 0 as their engine's API does: parameters from 1,
// columns from 0. Reads are valid until the next step() or reset().
class StatementCore {
public:
    virtual ~StatementCore() = default;

    virtual int parameterCount() const = 0;
    // The position of a named parameter (":name"), 0 when there is none.
    virtual int parameterIndex(const QString& name) const = 0;
    virtual void bindNull(int at) = 0;
    virtual void bindInteger(int at, qint64 value) = 0;
    virtual void bindReal(int at, double value) = 0;
    virtual void bindText(int at, const QString& value) = 0;
    virtual void bindBlob(int at, const QByteArray& value) = 0;

    // Runs to the next result row: true on a row, false when done.
    // StoreError on failure; the statement may then only be reset.
    virtual bool step() = 0;
    // Back to before the first step; the bound values stay.
    virtual void reset() = 0;

    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    virtual ColumnKind columnKind(int column) const = 0;
    virtual qint64 columnInteger(int column) const = 0;
    virtual double columnReal(int column) const = 0;
    // A text as UTF-8 (a blob as its bytes), not terminated.
    virtual QByteArrayView columnBytes(int column) const = 0;
    // The column whole, for readers of many rows (one call a value).
    virtual void cell(int column, Cell* out) const = 0;
    // `count` columns from `first` at once: a reader of a hundred thousand
    // rows pays one call a row, not one a value.
    virtual void cells(int first, int count, Cell* out) const {
        for (int i = 0; i < count; ++i)
            cell(first + i, out + i);
    }

    // Whether running the statement may change stored rows.
    virtual bool writes() const = 0;
};

class Connection {
public:
    virtual ~Connection() = default;

    // Names the register in messages: its file, or its server and database.
    virtual QString where() const = 0;

    // Prepares one statement; StoreError when the SQL is refused, or when
    // the text holds more than one statement.
    virtual std::unique_ptr<StatementCore> prepare(const QString& sql) = 0;
    // Runs statements that take no parameters and return no rows.
    virtual void execute(const QString& sql) = 0;
    // The row id given to the last row inserted through this connection,
    // and how many rows the last statement changed.
    virtual qint64 lastInsertId() const = 0;
    virtual qint64 changes() const = 0;

    // The outermost transaction; savepoints inside it are plain SQL.
    virtual void begin() = 0;

    // A number that moves whenever another connection changed the stored
    // rows since the last call: cached rows must then be read again.
    virtual qint64 foreignVersion() = 0;

    // The catalogue: the stored name of a table matched without regard to
    // case (empty when none), its columns with their declared types, and
    // its indexes in the order they were made.
    virtual QString tableNamed(const QString& name) = 0;
    virtual QList<QPair<QString, QString>> columns(const QString& table) = 0;
    virtual QList<IndexDef> indexes(const QString& table) = 0;

    // Whether the register can be written, tried with a change undone at
    // once; the failure's kind and text when it cannot.
    virtual bool probeWrite(FailureKind* kind, QString* text) = 0;

    // Creates an empty table with its indexes, in the engine's own types.
    virtual void createTable(const TableDef& table) = 0;

    // What follows a column in ORDER BY so that NULL comes first, as the
    // data set orders the rows it keeps.
    virtual QString nullsFirst() const { return {}; }
    // A lock the programs on one register take to run a task one at a time
    // (the structure upgrade at start, when several clerks start together):
    // holdLock() waits while another connection holds `key`, releaseLock()
    // lets the next one in. The file does nothing here: it has one clerk,
    // and SQLite's own write lock lets one program at a time change it.
    virtual void holdLock(qint64 key) { Q_UNUSED(key); }
    virtual void releaseLock(qint64 key) { Q_UNUSED(key); }

    // The comparison that holds when both sides are the same value, NULL
    // the same as NULL: a save checks by it that the row is still as read.
    virtual QString sameValue() const { return QStringLiteral(" IS "); }
};
