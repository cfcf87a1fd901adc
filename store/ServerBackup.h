#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

class Database;

// The daily copy of a register on a PostgreSQL server: the server's own
// pg_dump (Debian's postgresql-client) in its custom format, in the same
// day's directory as the file's copy,
// <root>/SalvariQuarvenn/<yyyymmdd>/<leaf>/Tombrix.dump. pg_restore brings
// it back into an empty database.
namespace ServerBackup {

constexpr const char* FileName = "Tombrix.dump";

// Makes the day's dump of the server register `db` is open on, unless it
// exists already (a start earlier that day made it): false then, true when
// made now. The dump is written under a temporary name and appears under
// its own only once pg_dump has finished well. The password goes to
// pg_dump in its environment, never on its command line, and only when
// the program holds one (typed by the clerk, or in the connection string);
// otherwise pg_dump finds it as libpq does (~/.pgpass, a service file).
// StoreError "Nu pot salva baza de date ... in directorul ..." with
// pg_dump's reason when it fails; nothing is left of the half-made dump.
bool run(Database& db, const QString& basePath, const QDate& day);

// The dump taken before an import replaces the rows of a server register,
// in a directory of its own named for the moment:
// <root>/SalvariQuarvenn/<yyyymmdd>-<hhmmss>-inainte-de-import/<leaf>/Tombrix.dump.
// Returns its path; StoreError as run() when it cannot be made.
QString runBeforeImport(Database& db, const QString& basePath, const QDateTime& now);

// The pg_dump program run: the one on the PATH, else the newest one of
// Debian's PostgreSQL packages. Tests give another in its place (an empty
// text returns to the default) and get back the one replaced.
QString program();
QString setProgram(const QString& pgDump);

} // namespace ServerBackup
