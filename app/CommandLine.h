#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// The program's command line, for the person who installs it:
//   tombrix --import DIR [--yes [--fara-refuzate]]
//   tombrix --restore YYYYMMDD [--yes]
// Without arguments the main window starts as usual.
namespace CommandLine {

struct Options {
    bool import = false;
    QString directory;
    bool restore = false;
    QString day; // the daily copy's stamp, YYYYMMDD
    bool yes = false;
    // The tables the trial refuses are left out (they stay empty).
    bool withoutRefused = false;
    QString error; // set when the arguments cannot be understood
};

Options parse(const QStringList& arguments); // arguments()[0] is the program
// True when the arguments ask for work without the main window.
bool wanted(const QStringList& arguments);

// Does the work; returns the process's exit code. Reports go to `out`,
// a failure as one line to `err`.
int run(const QStringList& arguments, const QString& programDir, QTextStream& out,
        QTextStream& err);

} // namespace CommandLine
