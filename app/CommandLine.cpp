#include "CommandLine.h"

#include "Backup.h"
#include "Database.h"
#include "LegacyImport.h"
#include "RestoreCommand.h"
#include "StoreError.h"
#include "Values.h"

#include <QDateTime>
#include <QTextStream>

namespace CommandLine {

Options parse(const QStringList& arguments) {
    Options o;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--import")) {
            if (o.import || i + 1 >= arguments.size() ||
                arguments.at(i + 1).startsWith(QLatin1String("--"))) {
                o.error = QStringLiteral("Dupa --import trebuie dat directorul cu datele vechi");
                return o;
            }
            o.import = true;
            o.directory = arguments.at(++i);
        } else if (a == QLatin1String("--restore")) {
            if (o.restore || i + 1 >= arguments.size() ||
                !QDate::fromString(arguments.at(i + 1), QStringLiteral("yyyyMMdd")).isValid()) {
                o.error = QStringLiteral(
                    "Dupa --restore trebuie data ziua copiei zilnice, ca AAAALLZZ (20240305)");
                return o;
            }
            o.restore = true;
            o.day = arguments.at(++i);
        } else if (a == QLatin1String("--yes")) {
            o.yes = true;
        } else if (a == QLatin1String("--fara-refuzate")) {
            o.withoutRefused = true;
        } else {
            o.error = QStringLiteral("Argument necunoscut: %1").arg(a);
            return o;
        }
    }
    if (o.import && o.restore)
        o.error = QStringLiteral("--import si --restore nu se folosesc impreuna");
    else if (o.yes && !o.import && !o.restore)
        o.error = QStringLiteral("--yes se foloseste doar impreuna cu --import sau --restore");
    if (o.withoutRefused && !o.yes)
        o.error = QStringLiteral("--fara-refuzate se foloseste doar impreuna cu --yes");
    return o;
}

bool wanted(const QStringList& arguments) {
    // Qt's own options (-platform, -style) take a single dash.
    for (int i = 1; i < arguments.size(); ++i)
        if (arguments.at(i).startsWith(QLatin1String("--")))
            return true;
    return false;
}

int run(const QStringList& arguments, const QString& programDir, QTextStream& out,
        QTextStream& err) {
    const Options o = parse(arguments);
    if (!o.error.isEmpty()) {
        err << o.error << '\n';
        err.flush();
        return 2;
    }
    if (o.restore)
        return RestoreCommand::run(o.day, o.yes, programDir, out, err);
    try {
        Database db(programDir + QString::fromLatin1(Database::FileName));
        db.open();
        const LegacyImport import(o.directory);
        const LegacyImport::Result trial = import.trial();
        out << trial.report(false);
        if (!o.yes) {
            out << "\nNu s-a scris nimic in registru. Pentru import repetati comanda cu --yes.\n";
            out.flush();
            return 0;
        }
        if (!trial.catalogRefused() && !trial.refusedFiles().isEmpty() && !o.withoutRefused) {
            out << QStringLiteral("\nNu s-a scris nimic in registru: %1 nu se poate importa. "
                                  "Pentru importul celorlalte tabele fara el repetati comanda "
                                  "cu --yes --fara-refuzate.\n")
                       .arg(trial.refusedFiles().join(QStringLiteral(", ")));
            out.flush();
            return 1;
        }
        const int existing = LegacyImport::placesInRegister(db);
        if (existing > 0)
            out << QStringLiteral("\nRegistrul avea %1; se inlocuiesc cu datele importate.\n")
                       .arg(Values::countText(existing, QStringLiteral("un loc"),
                                              QStringLiteral("locuri")));
        const LegacyImport::Result done =
            import.run(db, Backup::defaultBasePath(), QDateTime::currentDateTime(), {}, &trial,
                       o.withoutRefused);
        out << '\n' << done.report(true);
        out.flush();
        return 0;
    } catch (const StoreError& e) {
        out.flush();
        err << QString(e.message()).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
        err.flush();
        return 1;
    } catch (const Abort&) {
        out.flush();
        err << "Importul a fost oprit; registrul a ramas neschimbat\n";
        err.flush();
        return 1;
    }
}

} // namespace CommandLine
