#pragma once

// What every printed list has in common: the request the user made, the
// report form created for one run, and the table of the program's reports
// (menu caption, command-line name, print defaults, what is asked first).
// The run itself (dialogs, status texts, print settings, output, clean-up)
// exists once, in ReportRun; each report unit only supplies its form.

#include <QDate>
#include <QPageLayout>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class Database;
class Query;
class QWidget;
class RowSource;
struct ReportDefinition;

// What the user chose for one run. A selection is the list of chosen values,
// bound as parameters, never spliced into SQL text; an empty list means no
// restriction, and a blank item selects the rows whose field is empty.
struct ReportRequest {
    QString programDir;     // ends with a separator
    QDate date;             // the reference date of the reports that ask one
    QDate from, to;         // the period of the receipts list
    QStringList cemeteries; // chosen cemeteries
    QStringList types;      // chosen collection types (receipts list)
};

// One report form: created for one run; owns its queries, its layout and
// its print hooks, and is discarded at the end of the run.
class ReportForm {
public:
    virtual ~ReportForm() = default;
    // Sets the title labels and parameters, binds the selections and opens
    // the queries, in the report's order. Store failures raise StoreError.
    virtual void prepare(Database& db, const ReportRequest& request) = 0;
    // Valid after prepare().
    virtual ReportDefinition& definition() = 0;
    virtual RowSource& rows() = 0;
    // Closes the queries; called on every path after prepare() was tried.
    virtual void close() {}
};

enum class ReportAsk { Nothing, Interval, Date };

struct ReportKind {
    QString name;     // command-line name: neocupate, incasari, ...
    QString caption;  // caption of the "Listari" menu item
    QString fontName; // print defaults of every run
    int fontSize = 8;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QString defaultsText; // status text shown first
    ReportAsk ask = ReportAsk::Nothing;
    bool asksTypes = false; // the collection-type dialog follows the cemeteries
    // The default of the date asked first (the period's stop date for the
    // receipts list, whose start is 1 January of the current year).
    std::function<QDate()> defaultDate;
    std::function<std::unique_ptr<ReportForm>()> create;
    // A dialog of the report's own, shown by the menu command after what is
    // asked first and before the run (the tax decisions' texts). Returning
    // false ends the command there, with nothing more shown. Unset: nothing
    // more is asked. The command line does not show it.
    std::function<bool(QWidget* owner, const QString& programDir)> askBeforeRun;
    // Status line texts of the run: after the selection or the print setup
    // was cancelled, and when the run ends; an empty text leaves the status
    // line as it is. With `doneAfterFailure` the end text also follows a
    // store failure while the report is prepared (otherwise the status line
    // keeps " Listez..." then).
    QString cancelledStatus = QStringLiteral(" OK.");
    QString doneStatus = QStringLiteral(" OK.");
    bool doneAfterFailure = false;
};

// The program's reports in menu order; each report unit adds its entry.
const std::vector<ReportKind>& reportKinds();
const ReportKind* findReport(const QString& name);

// Sets filter line `line` of `q`: empty for an empty selection, otherwise
// `prefix` + one bound parameter per value (":stem0, :stem1, ...") + "))".
// `prefix` ends with "IN (" and names the column it tests
// ("AND (D1.Cimitir IN ("); a blank value also selects the rows where that
// column is empty.
void setFilterLine(Query& q, int line, const QString& prefix, const QStringList& values,
                   const QString& stem);
