#pragma once

#include "StoreError.h"

#include <QString>

// A failure of the database told the way a clerk can act on it: what
// happened to the register and what to do, in Romanian, with the store's own
// text kept after it between "<" and ">". Failures the clerk cannot act on
// (a refused value, a rule of the file) keep the store's text alone. Every
// engine sorts its failures into a FailureKind and comes here for the words.
namespace StoreFailure {

// `where` names the register: its file, or its server and database.
QString describe(const QString& where, FailureKind kind, const QString& storeText);
StoreError error(const QString& where, FailureKind kind, const QString& storeText);

// The message of a register that another program holds locked.
QString inUse(const QString& where, const QString& storeText);

} // namespace StoreFailure
