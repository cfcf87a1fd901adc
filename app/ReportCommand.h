#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

class QTextStream;

// The reports made without the window, for lists made on a schedule:
//   tombrix --report NAME [--pdf FILE] [--xlsx FILE] [--date DD.MM.YYYY]
//           [--from DD.MM.YYYY --to DD.MM.YYYY] [--cemetery TEXT]... [--type TEXT]...
namespace ReportCommand {

struct Args {
    QString name;
    QString pdf;
    QString xlsx;           // a spreadsheet of the same list; either or both files
    QDate date, from, to;   // invalid: the menu's default
    QStringList cemeteries; // none: every cemetery
    QStringList types;      // none: every collection type
    QString server;         // --server: a libpq connection string for this run
};

// True when the command line asks for a report (no window is shown).
bool wanted(const QStringList& args);
bool wanted(int argc, char** argv);

// Reads the arguments after the program's name. False with a Romanian
// message in `error` when they are wrong.
bool parse(const QStringList& args, Args* out, QString* error);

// The lines `--help` adds for the report run.
QString helpText();

// Opens the register in the program directory after the start-up checks of
// the window (daily copy, structure upgrade), makes the report and writes
// it (the PDF first, then the spreadsheet). Returns the exit code: 0 when
// written or when the report has no pages, otherwise non-zero with one
// line on `err`.
int run(const Args& args, const QString& programDir, QTextStream& out, QTextStream& err);

// parse + run, on standard output and standard error.
int main(const QStringList& args, const QString& programDir);

} // namespace ReportCommand
