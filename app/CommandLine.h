#pragma once

#include <QString>
#include <QStringList>

class QTextStream;

// The program's command line, for the person who installs it:
//   tombrix --import DIR [--yes [--fara-refuzate]] [--server CONNINFO]
//   tombrix --restore YYYYMMDD [--yes]
//   tombrix --server CONNINFO       the window, on that server
//   tombrix --to-server CONNINFO    the register file moved to that server
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
    QString server;   // --server: a libpq connection string for this run
    QString toServer; // --to-server: the empty database the register moves to
    QString error;    // set when the arguments cannot be understood
};

Options parse(const QStringList& arguments); // arguments()[0] is the program
// True when the arguments ask for work without the main window (--server
// alone only names the register the window opens).
bool wanted(const QStringList& arguments);
// The value of --server CONNINFO (or --server=CONNINFO); empty when absent.
QString serverOption(const QStringList& arguments);
// The server a run uses: `option` when given, else the one Tombrix.conn in
// the program directory names; empty for the register file. StoreError
// when Tombrix.conn cannot be read.
QString chosenServer(const QString& option, const QString& programDir);

// Does the work; returns the process's exit code. Reports go to `out`,
// a failure as one line to `err`.
int run(const QStringList& arguments, const QString& programDir, QTextStream& out,
        QTextStream& err);

} // namespace CommandLine
