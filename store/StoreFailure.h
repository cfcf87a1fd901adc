#pragma once

#include "StoreError.h"

#include <QString>

class QSqlError;

// A failure of SQLite told the way a clerk can act on it: what happened to
// the register file and what to do, in Romanian, with the store's own text
// kept after it between "<" and ">". Failures the clerk cannot act on
// (a refused value, a rule of the file) keep the store's text alone.
namespace StoreFailure {

// `code` is SQLite's result code, primary or extended.
QString describe(const QString& file, int code, const QString& storeText);
StoreError error(const QString& file, int code, const QString& storeText);
StoreError error(const QString& file, const QSqlError& error);
// The result code a QSqlError of the SQLite driver carries, 0 when none.
int codeOf(const QSqlError& error);

// The message of a register that another program holds locked.
QString inUse(const QString& file, const QString& storeText);

} // namespace StoreFailure
