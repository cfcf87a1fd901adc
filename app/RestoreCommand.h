#pragma once

#include <QString>

class QTextStream;

// `tombrix --restore YYYYMMDD [--yes]`: without --yes, tells what the
// restore of that day's copy would do and changes nothing; with --yes,
// keeps the register as it stands, restores the copy and brings it to the
// current structure. Returns the process's exit code.
namespace RestoreCommand {
int run(const QString& day, bool yes, const QString& programDir, QTextStream& out,
        QTextStream& err);
}
