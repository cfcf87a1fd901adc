#pragma once

#include <QString>

class QTextStream;

// `tombrix --to-server CONNINFO`: moves the register file of the program
// directory to the empty database CONNINFO names (with no file, makes the
// empty register there), and only then writes Tombrix.conn, so that every
// later start uses the server. The file stays as it was, the last local
// copy. Returns the process's exit code.
namespace ToServerCommand {
int run(const QString& conninfo, const QString& programDir, QTextStream& out, QTextStream& err);
}
