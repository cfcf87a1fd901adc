#include "ReportCommand.h"

#include "Backup.h"
#include "Clock.h"
#include "Database.h"
#include "ReportFrame.h"
#include "ReportRun.h"
#include "StoreError.h"
#include "Upgrade.h"
#include "Values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    for (int i = 0; i < args.size(); ++i) {
        const QString& opt = args.at(i);
        const bool known = opt == kReport || opt == QLatin1String("--pdf") ||
                           opt == QLatin1String("--date") || opt == QLatin1String("--from") ||
                           opt == QLatin1String("--to") || opt == QLatin1String("--cemetery") ||
                           opt == QLatin1String("--type");
        if (!known) {
            *error = QStringLiteral("Optiune necunoscuta: %1 (vezi tombrix --help).").arg(opt);
            return false;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("Optiunea %1 cere o valoare.").arg(opt);
            return false;
        }
        const QString value = args.at(++i);
        if (opt == kReport)
            out->name = value;
        else if (opt == QLatin1String("--pdf"))
            out->pdf = value;
        else if (opt == QLatin1String("--cemetery"))
            out->cemeteries << value;
        else if (opt == QLatin1String("--type"))
            out->types << value;
        else if (!readDate(opt, value,
                           opt == QLatin1String("--date")   ? &out->date
                           : opt == QLatin1String("--from") ? &out->from
                                                            : &out->to,
                           error))
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
    if (out->pdf.isEmpty()) {
        *error = QStringLiteral("Lipseste --pdf FISIER: fisierul in care se scrie raportul.");
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
               "  tombrix --report NUME --pdf FISIER [--date ZZ.LL.AAAA]\n"
               "          [--from ZZ.LL.AAAA --to ZZ.LL.AAAA] [--cemetery TEXT]... "
               "[--type TEXT]...\n"
               "      scrie raportul NUME (%1) in FISIER PDF, fara fereastra,\n"
               "      din registrul din directorul programului. Fara --cemetery: toate\n"
               "      cimitirele; fara --type: toate tipurile de incasare; datele lipsa\n"
               "      iau valorile implicite din meniul Listari. --date: %2;\n"
               "      --from, --to: %3; --type: %4.\n")
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
    // A missing register means a wrong directory here, not a fresh start.
    if (!QFileInfo::exists(path)) {
        err << QStringLiteral("Nu exista registrul %1.").arg(path) << Qt::endl;
        return 1;
    }
    try {
        Database db(path);
        db.open();
        // An empty or damaged register is neither copied nor reported on.
        Backup::verify(db.path(), db, Backup::defaultBasePath());
        Backup::run(db.path(), Backup::defaultBasePath(), Clock::today());
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
        QString error;
        switch (ReportRun::toPdf(*kind, db, request, args.pdf, &error)) {
        case ReportRun::PdfResult::Written:
            return 0;
        case ReportRun::PdfResult::Empty:
            // An older list left at the path would pass for today's.
            if (QFileInfo::exists(args.pdf) || QFileInfo(args.pdf).isSymLink()) {
                if (!QFile::remove(args.pdf)) {
                    err << QStringLiteral("Raportul nu are nicio pagina, dar fisierul mai vechi "
                                          "\"%1\" nu poate fi sters.")
                               .arg(QDir::toNativeSeparators(args.pdf))
                        << Qt::endl;
                    return 1;
                }
                out << QStringLiteral("Raportul nu are nicio pagina; fisierul mai vechi \"%1\" "
                                      "a fost sters.")
                           .arg(QDir::toNativeSeparators(args.pdf))
                    << Qt::endl;
                return 0;
            }
            out << QStringLiteral("Raportul nu are nicio pagina.") << Qt::endl;
            return 0;
        case ReportRun::PdfResult::Failed:
            err << oneLine(error) << Qt::endl;
            return 1;
        }
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
