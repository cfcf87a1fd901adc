#pragma once

#include <QString>

// Which register a start uses: the SQLite file in the program directory, or
// a PostgreSQL server named by a libpq connection string in the file
// Tombrix.conn beside it (or by --server for one run). The program never
// writes a password there: libpq's own files (~/.pgpass, a service file)
// keep it, or the clerk types it at start.
namespace ServerChoice {

constexpr const char* FileName = "Tombrix.conn";

// The connection string in programDir's Tombrix.conn: its first line that
// is neither empty nor a comment (#). Empty when there is no such file (the
// SQLite file is used); StoreError when the file cannot be read or names no
// server.
QString read(const QString& programDir);

// The connection string without a password (keyword `password`, or one in
// a URI), as the program may keep it. Empty with `error` set when libpq
// cannot read it.
QString withoutPassword(const QString& conninfo, QString* error);

// Writes Tombrix.conn with the connection string stripped of any password,
// whole or not at all. False with a Romanian `error` on failure.
bool write(const QString& programDir, const QString& conninfo, QString* error);

} // namespace ServerChoice
