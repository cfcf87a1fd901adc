#include "ReportCommand.h"

#include "Backup.h"
#include "Clock.h"
#include "CommandLine.h"
#include "Database.h"
#include "ReportFrame.h"
#include "ReportRun.h"
#include "ServerBackup.h"
#include "StoreError.h"
#include "Upgrade.h"
#include "Values.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTextStream>
#include <cstdio>
#include <functional>

namespace ReportCommand {

namespace {

const QString kReport = QStringLiteral("--report");

QString oneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
}

bool readDate(const QString& option, const QString& text, QDate* date, QString* error) {
    *date = Values::parseDate(text, QLatin1Char('.'), Clock::today().year());
    if (date->isValid())
        return true;
    *error = QStringLiteral("Data \"%1\" data la %2 nu este o data valida (ZZ.LL.AAAA).")
                 .arg(text, option);
    return false;
}

QString namesWhere(const std::function<bool(const ReportKind&)>& test) {
    QStringList names;
    for (const ReportKind& k : reportKinds())
        if (test(k))
            names << k.name;
    return names.join(QStringLiteral(", "));
}

QString reportNames() {
    return namesWhere([](const ReportKind&) { return true; });
}

// An unknown option as it was typed ("--colour" for "colour").
QString spelled(const QStringList& args, const QString& name) {
    for (const QString& a : args) {
        const QString bare = a.section(QLatin1Char('='), 0, 0);
        if (bare.startsWith(QLatin1Char('-')) &&
            QString(bare).remove(0, bare.startsWith(QLatin1String("--")) ? 2 : 1) == name)
            return bare;
    }
    return QStringLiteral("--") + name;
}

} // namespace

bool wanted(const QStringList& args) {
    return args.contains(kReport);
}

bool wanted(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (kReport == QLatin1String(argv[i]))
            return true;
    return false;
}

bool parse(const QStringList& args, Args* out, QString* error) {
    *out = Args{};
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QString valued[] = {
        QStringLiteral("report"),   QStringLiteral("pdf"),  QStringLiteral("xlsx"),
        QStringLiteral("date"),     QStringLiteral("from"), QStringLiteral("to"),
        QStringLiteral("cemetery"), QStringLiteral("type"), QStringLiteral("server")};
    for (const QString& name : valued)
        parser.addOption(QCommandLineOption(name, QString(), QStringLiteral("valoare")));
    // QCommandLineParser reads arguments after the program's name.
    if (!parser.parse(QStringList{QStringLiteral("tombrix")} + args)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            *error = QStringLiteral("Optiune necunoscuta: %1 (vezi tombrix --help).")
                         .arg(spelled(args, unknown.first()));
            return false;
        }
        // The only other failure: a value-taking option given last.
        *error = QStringLiteral("Optiunea %1 cere o valoare.")
                     .arg(args.isEmpty() ? QString() : args.last());
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("Optiune necunoscuta: %1 (vezi tombrix --help).")
                     .arg(parser.positionalArguments().first());
        return false;
    }
    const auto last = [&parser](const QString& name) {
        const QStringList values = parser.values(name);
        return values.isEmpty() ? QString() : values.last();
    };
    out->name = last(QStringLiteral("report"));
    out->pdf = last(QStringLiteral("pdf"));
    out->xlsx = last(QStringLiteral("xlsx"));
    out->cemeteries = parser.values(QStringLiteral("cemetery"));
    out->types = parser.values(QStringLiteral("type"));
    out->server = last(QStringLiteral("server")).trimmed();
    // The dates in the order given: the first wrong one is named.
    QHash<QString, int> seen;
    for (const QString& name : parser.optionNames()) {
        QDate* date = name == QLatin1String("date")   ? &out->date
                      : name == QLatin1String("from") ? &out->from
                      : name == QLatin1String("to")   ? &out->to
                                                      : nullptr;
        if (!date)
            continue;
        const QString value = parser.values(name).value(seen[name]++);
        if (!readDate(QStringLiteral("--") + name, value, date, error))
            return false;
    }
    if (out->name.isEmpty() || !findReport(out->name)) {
        *error = QStringLiteral("Raport necunoscut: \"%1\". Rapoarte: %2.")
                     .arg(out->name, reportNames());
        return false;
    }
    // An option the report does not read is a mistake in the job, not a no-op.
    const ReportKind* kind = findReport(out->name);
    const auto notFor = [&](const QString& option) {
        *error =
            QStringLiteral("Optiunea %1 nu se aplica raportului \"%2\".").arg(option, out->name);
        return false;
    };
    if (out->date.isValid() && kind->ask != ReportAsk::Date)
        return notFor(QStringLiteral("--date"));
    if (out->from.isValid() && kind->ask != ReportAsk::Interval)
        return notFor(QStringLiteral("--from"));
    if (out->to.isValid() && kind->ask != ReportAsk::Interval)
        return notFor(QStringLiteral("--to"));
    if (!out->types.isEmpty() && !kind->asksTypes)
        return notFor(QStringLiteral("--type"));
    if (out->pdf.isEmpty() && out->xlsx.isEmpty()) {
        *error = QStringLiteral(
            "Lipseste --pdf FISIER sau --xlsx FISIER: fisierul in care se scrie raportul.");
        return false;
    }
    if (out->from.isValid() != out->to.isValid()) {
        *error = QStringLiteral("Perioada cere atat --from cat si --to.");
        return false;
    }
    if (out->from.isValid() && out->from > out->to) {
        const QString fmt = QStringLiteral("dd.MM.yyyy");
        *error = QStringLiteral("Intervalul de timp nu este corect! %1 < %2")
                     .arg(out->to.toString(fmt), out->from.toString(fmt));
        return false;
    }
    return true;
}

QString helpText() {
    return QStringLiteral(
               "  tombrix --report NUME [--pdf FISIER] [--xlsx FISIER] [--date ZZ.LL.AAAA]\n"
               "          [--from ZZ.LL.AAAA --to ZZ.LL.AAAA] [--cemetery TEXT]... "
               "[--type TEXT]...\n"
               "      scrie raportul NUME (%1)\n"
               "      in FISIER PDF si/sau in foaia de calcul FISIER .xlsx, fara fereastra,\n"
               "      din registrul din directorul programului. Fara --cemetery: toate\n"
               "      cimitirele; fara --type: toate tipurile de incasare; datele lipsa\n"
               "      iau valorile implicite din meniul Listari.\n"
               "      --date: %2; --from, --to: %3; --type: %4.\n"
               "  Cu --server CONNINFO, oricare comanda lucreaza cu registrul de pe acel\n"
               "  server PostgreSQL, in locul celui numit in Tombrix.conn sau al fisierului.\n")
        .arg(reportNames(),
             namesWhere([](const ReportKind& k) { return k.ask == ReportAsk::Date; }),
             namesWhere([](const ReportKind& k) { return k.ask == ReportAsk::Interval; }),
             namesWhere([](const ReportKind& k) { return k.asksTypes; }));
}

int run(const Args& args, const QString& programDir, QTextStream& out, QTextStream& err) {
    const ReportKind* kind = findReport(args.name);
    if (!kind) {
        err << QStringLiteral("Raport necunoscut: \"%1\".").arg(args.name) << Qt::endl;
        return 2;
    }
    const QString path = programDir + QString::fromLatin1(Database::FileName);
    try {
        const QString server = CommandLine::chosenServer(args.server, programDir);
        // A missing register means a wrong directory here, not a fresh start.
        if (server.isEmpty() && !QFileInfo::exists(path)) {
            err << QStringLiteral("Nu exista registrul %1.").arg(path) << Qt::endl;
            return 1;
        }
        Database db(path, server);
        db.open();
        // An empty or damaged register is neither copied nor reported on.
        if (server.isEmpty()) {
            Backup::verify(db.path(), db, Backup::defaultBasePath());
            Backup::run(db.path(), Backup::defaultBasePath(), Clock::today());
        } else {
            try {
                ServerBackup::run(db, Backup::defaultBasePath(), Clock::today());
            } catch (const StoreError& e) {
                err << oneLine(e.message()) << Qt::endl; // the list is made all the same
            }
        }
        UpgradeHooks hooks;
        hooks.message = [&out](const QString& text) { out << oneLine(text) << Qt::endl; };
        hooks.waitCursor = [] {};
        hooks.restoreCursor = [] {};
        SchemaUpgrade(db, std::move(hooks)).run();

        ReportRequest request;
        request.programDir = programDir;
        request.cemeteries = args.cemeteries;
        request.types = args.types;
        request.date = args.date.isValid() ? args.date : ReportRun::defaultDate(*kind);
        request.from = args.from.isValid() ? args.from : ReportRun::defaultPeriodStart();
        request.to = args.to.isValid() ? args.to : ReportRun::defaultDate(*kind);
        // Each file asked for, from a run of its own; a list without rows
        // writes neither and removes an older file that would pass for today's.
        struct Output {
            QString path;
            bool pdf;
        };
        std::vector<Output> outputs;
        if (!args.pdf.isEmpty())
            outputs.push_back({args.pdf, true});
        if (!args.xlsx.isEmpty())
            outputs.push_back({args.xlsx, false});
        bool emptyTold = false;
        for (const Output& o : outputs) {
            QString error;
            const ReportRun::FileResult result =
                o.pdf ? ReportRun::toPdf(*kind, db, request, o.path, &error)
                      : ReportRun::toSheet(*kind, db, request, o.path, &error);
            if (result == ReportRun::FileResult::Written)
                continue;
            if (result != ReportRun::FileResult::Empty) {
                err << (error.isEmpty() ? QStringLiteral("Raportul a fost oprit.") : oneLine(error))
                    << Qt::endl;
                return 1;
            }
            const QString none = args.pdf.isEmpty()
                                     ? QStringLiteral("Raportul nu are niciun rand")
                                     : QStringLiteral("Raportul nu are nicio pagina");
            if (QFileInfo::exists(o.path) || QFileInfo(o.path).isSymLink()) {
                if (!QFile::remove(o.path)) {
                    err << QStringLiteral("%1, dar fisierul mai vechi \"%2\" nu poate fi sters.")
                               .arg(none, QDir::toNativeSeparators(o.path))
                        << Qt::endl;
                    return 1;
                }
                out << QStringLiteral("%1; fisierul mai vechi \"%2\" a fost sters.")
                           .arg(none, QDir::toNativeSeparators(o.path))
                    << Qt::endl;
                emptyTold = true;
            } else if (!emptyTold) {
                out << none << '.' << Qt::endl;
                emptyTold = true;
            }
        }
        return 0;
    } catch (const StoreError& e) {
        err << oneLine(e.message()) << Qt::endl;
    } catch (const Abort&) {
        err << QStringLiteral("Raportul a fost oprit.") << Qt::endl;
    } catch (const std::exception& e) {
        err << oneLine(QString::fromLocal8Bit(e.what())) << Qt::endl;
    }
    return 1;
}

int main(const QStringList& args, const QString& programDir) {
    QTextStream out(stdout), err(stderr);
    Args parsed;
    QString error;
    if (!parse(args, &parsed, &error)) {
        err << error << Qt::endl;
        return 2;
    }
    return run(parsed, programDir, out, err);
}

} // namespace ReportCommand
