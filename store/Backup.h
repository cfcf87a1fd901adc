#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

class Database;

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
// own name. Returns false without copying when the day's complete copy exists
// already; a copy that failed or was killed half-way is tried again. The
// copy is taken through SQLite, so a journal left by an interrupted run is
// applied or rolled back first, and it appears under its final name only
// once complete. Failures raise
// StoreError "Nu pot salva baza de date in directorul <directory>".
bool run(const QString& sourceFile, const QString& basePath, const QDate& day);

// The newest daily copy of `fileName` under `basePath`, with native
// separators; empty when there is none.
QString latestCopy(const QString& basePath, const QString& fileName);

// Refuses a register that must not be copied over the daily copies or
// edited: an empty file, or one whose pages fail SQLite's quick check.
// The StoreError says so and names the latest good daily copy.
void verify(const QString& sourceFile, Database& db, const QString& basePath);

// The copy taken before an import replaces the register's rows, in a
// directory of its own beside the daily ones, named for the moment:
// <root>/SalvariQuarvenn/<yyyymmdd>-<hhmmss>-inainte-de-import/<leaf>.
// Returns the copy's path; failures raise StoreError as run() does.
QString runBeforeImport(const QString& sourceFile, const QString& basePath, const QDateTime& now);
// The same copy for another occasion: `what` ends the directory's name
// ("inainte-de-import", "inainte-de-restaurare").
QString runBefore(const QString& sourceFile, const QString& basePath, const QDateTime& now,
                  const QString& what);

// The root directory that holds the copies, "<root>/SalvariQuarvenn", and
// the leaf that names this register's copies in each day's directory.
QString copiesRoot(const QString& basePath);
QString copiesLeaf(const QString& basePath);

// Copies a register page by page through SQLite (a journal left by a killed
// run is applied or rolled back first); false when it cannot.
bool copyRegister(const QString& from, const QString& to);

// Removes what copies before earlier imports and restores left when they
// were cut off (their ".partial" files) and the directories left without a
// copy. run() and runBeforeImport() call it first.
void removeUnfinishedCopies(const QString& basePath);

} // namespace Backup
