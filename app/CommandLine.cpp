#include "CommandLine.h"

#include "Backup.h"
#include "Database.h"
#include "LegacyImport.h"
#include "RestoreCommand.h"
#include "ServerChoice.h"
#include "StoreError.h"
#include "ToServerCommand.h"
#include "Values.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QTextStream>

namespace CommandLine {

namespace {

const QString ImportNeedsDirectory =
    QStringLiteral("Dupa --import trebuie dat directorul cu datele vechi");
const QString ServerNeedsConnection = QStringLiteral(
    "Dupa --server trebuie data legatura cu serverul, ca \"host=server dbname=tombrix user=nume\"");
const QString ToServerNeedsConnection =
    QStringLiteral("Dupa --to-server trebuie data legatura cu serverul, ca \"host=server "
                   "dbname=tombrix user=nume\"");
const QString RestoreNeedsDay =
    QStringLiteral("Dupa --restore trebuie data ziua copiei zilnice, ca AAAALLZZ (20240305)");

// An unknown option as it was typed ("--importa" for "importa").
QString spelled(const QStringList& arguments, const QString& name) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString bare = arguments.at(i).section(QLatin1Char('='), 0, 0);
        QString stripped = bare;
        while (stripped.startsWith(QLatin1Char('-')))
            stripped.remove(0, 1);
        if (bare.startsWith(QLatin1Char('-')) && stripped == name)
            return bare;
    }
    return QStringLiteral("--") + name;
}

} // namespace

Options parse(const QStringList& arguments) {
    Options o;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption import(QStringLiteral("import"), QString(), QStringLiteral("dir"));
    const QCommandLineOption restore(QStringLiteral("restore"), QString(), QStringLiteral("zi"));
    const QCommandLineOption yes(QStringLiteral("yes"));
    const QCommandLineOption withoutRefused(QStringLiteral("fara-refuzate"));
    const QCommandLineOption server(QStringLiteral("server"), QString(),
                                    QStringLiteral("conexiune"));
    const QCommandLineOption toServer(QStringLiteral("to-server"), QString(),
                                      QStringLiteral("conexiune"));
    parser.addOptions({import, restore, yes, withoutRefused, server, toServer});
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty())
            o.error =
                QStringLiteral("Argument necunoscut: %1").arg(spelled(arguments, unknown.first()));
        else if (arguments.last() == QLatin1String("--restore"))
            o.error = RestoreNeedsDay; // given last, without its day
        else if (arguments.last() == QLatin1String("--server"))
            o.error = ServerNeedsConnection;
        else if (arguments.last() == QLatin1String("--to-server"))
            o.error = ToServerNeedsConnection;
        else
            o.error = ImportNeedsDirectory;
        return o;
    }
    if (!parser.positionalArguments().isEmpty()) {
        o.error =
            QStringLiteral("Argument necunoscut: %1").arg(parser.positionalArguments().first());
        return o;
    }
    const QStringList dirs = parser.values(import);
    // "--import --yes" reads "--yes" as the directory: the directory was left out.
    if (dirs.size() > 1 || (dirs.size() == 1 && dirs.first().startsWith(QLatin1String("--")))) {
        o.error = ImportNeedsDirectory;
        return o;
    }
    const QStringList days = parser.values(restore);
    if (days.size() > 1 ||
        (days.size() == 1 &&
         !QDate::fromString(days.first(), QStringLiteral("yyyyMMdd")).isValid())) {
        o.error = RestoreNeedsDay;
        return o;
    }
    o.import = !dirs.isEmpty();
    o.directory = dirs.value(0);
    o.restore = !days.isEmpty();
    o.day = days.value(0);
    o.yes = parser.isSet(yes);
    o.withoutRefused = parser.isSet(withoutRefused);
    o.server = parser.values(server).value(0).trimmed();
    if (parser.isSet(server) && o.server.isEmpty()) {
        o.error = ServerNeedsConnection;
        return o;
    }
    const QStringList targets = parser.values(toServer);
    o.toServer = targets.value(0).trimmed();
    // "--to-server --yes" reads "--yes" as the connection: it was left out.
    if (parser.isSet(toServer) && (targets.size() > 1 || o.toServer.isEmpty() ||
                                   o.toServer.startsWith(QLatin1String("--")))) {
        o.error = ToServerNeedsConnection;
        return o;
    }
    if (!o.toServer.isEmpty() && (o.import || o.restore || !o.server.isEmpty()))
        o.error = QStringLiteral("--to-server nu se foloseste impreuna cu --import, --restore "
                                 "sau --server");
    else if (o.import && o.restore)
        o.error = QStringLiteral("--import si --restore nu se folosesc impreuna");
    else if (o.yes && !o.import && !o.restore)
        o.error = QStringLiteral("--yes se foloseste doar impreuna cu --import sau --restore");
    if (o.withoutRefused && !o.yes)
        o.error = QStringLiteral("--fara-refuzate se foloseste doar impreuna cu --yes");
    return o;
}

bool wanted(const QStringList& arguments) {
    // Qt's own options (-platform, -style) take a single dash.
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--server")) {
            ++i; // its value
            continue;
        }
        if (a.startsWith(QLatin1String("--")) && !a.startsWith(QLatin1String("--server=")))
            return true;
    }
    return false;
}

QString serverOption(const QStringList& arguments) {
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--server"))
            return arguments.value(i + 1).trimmed();
        if (a.startsWith(QLatin1String("--server=")))
            return a.mid(9).trimmed();
    }
    return QString();
}

QString chosenServer(const QString& option, const QString& programDir) {
    return option.isEmpty() ? ServerChoice::read(programDir) : option;
}

int run(const QStringList& arguments, const QString& programDir, QTextStream& out,
        QTextStream& err) {
    const Options o = parse(arguments);
    if (!o.error.isEmpty()) {
        err << o.error << '\n';
        err.flush();
        return 2;
    }
    if (!o.toServer.isEmpty())
        return ToServerCommand::run(o.toServer, programDir, out, err);
    try {
        const QString server = chosenServer(o.server, programDir);
        if (o.restore && !server.isEmpty()) {
            err << "Registrul este pe un server PostgreSQL; copiile lui zilnice se restaureaza "
                   "cu pg_restore, asa cum arata README.\n";
            err.flush();
            return 1;
        }
        if (o.restore)
            return RestoreCommand::run(o.day, o.yes, programDir, out, err);
        Database db(programDir + QString::fromLatin1(Database::FileName), server);
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
