#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

// The daily copy of the register, made at start-up before any table opens.
// One directory per day of use: <root>/SalvariQuarvenn/<yyyymmdd>/<leaf>,
// where the base path "<root>/<leaf>" names the root and the leaf. Copies
// are never deleted.
namespace Backup {

// The base path of the start-up: "D:\Tombrix" on Windows ("C:\Tombrix" when
// D: is a CD-ROM drive); elsewhere there are no drive letters and the root is
// the user's home directory. Tests point it into a temporary directory.
QString defaultBasePath();
// Replaces the start-up's base path (an empty text returns to the default)
// and gives back the replacement it had before, empty when none.
QString setDefaultBasePath(const QString& basePath);

// The day's stamp: year, month and day on two digits each, no separator.
QString dateStamp(const QDate& day);
// The backup directory for `basePath` on `day`, with native separators.
QString directory(const QString& basePath, const QDate& day);

// Copies the register file `sourceFile` into the day's directory under its
// own name. Returns false without copying when that directory exists
// already (the day's copy was made). The copy is taken through SQLite, so
// a journal left by an interrupted run is applied or rolled back first, and
// it appears under its final name only once complete. Failures raise
// StoreError "Nu pot salva baza de date in directorul <directory>".
bool run(const QString& sourceFile, const QString& basePath, const QDate& day);

// The copy taken before an import replaces the register's rows, in a
// directory of its own beside the daily ones, named for the moment:
// <root>/SalvariQuarvenn/<yyyymmdd>-<hhmmss>-inainte-de-import/<leaf>.
// Returns the copy's path; failures raise StoreError as run() does.
QString runBeforeImport(const QString& sourceFile, const QString& basePath, const QDateTime& now);

} // namespace Backup
