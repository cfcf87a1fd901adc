#include "ToServerCommand.h"

#include "Database.h"
#include "Restore.h"
#include "ServerChoice.h"
#include "ServerCopy.h"
#include "StoreError.h"
#include "Values.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace ToServerCommand {

int run(const QString& conninfo, const QString& programDir, QTextStream& out, QTextStream& err) {
    const auto fail = [&](const QString& text) {
        out.flush();
        err << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
        err.flush();
        return 1;
    };
    QString error;
    const QString clean = ServerChoice::withoutPassword(conninfo, &error);
    if (clean.isEmpty())
        return fail(error);
    const QString file = programDir + QString::fromLatin1(Database::FileName);
    const QString choice = QDir(programDir).filePath(QString::fromLatin1(ServerChoice::FileName));
    // The program works on a server already: the file beside it is an old
    // copy, and moving it would bring back yesterday's register.
    if (QFileInfo::exists(choice))
        return fail(QStringLiteral("Programul lucreaza deja cu registrul de pe serverul numit in "
                                   "%1. Pentru a muta totusi fisierul %2, stergeti intai %1.")
                        .arg(QDir::toNativeSeparators(choice), QDir::toNativeSeparators(file)));
    // What a clerk saves after the rows were read would stay behind in the file.
    const Restore::InUseLock inUse(file);
    if (!inUse.held())
        return fail(QStringLiteral("Registrul %1 este deschis si in alt program Tombrix; "
                                   "inchideti-l inainte de mutarea pe server")
                        .arg(QDir::toNativeSeparators(file)));
    try {
        const ServerCopy::Result moved = ServerCopy::run(file, conninfo);
        if (!ServerChoice::write(programDir, conninfo, &error))
            return fail(QStringLiteral("%1. Registrul a fost totusi copiat in baza de date %2; "
                                       "scrieti in fisierul %3 linia: %4")
                            .arg(error, moved.where, QDir::toNativeSeparators(choice), clean));
        if (moved.fromFile) {
            out << "Registrul " << QDir::toNativeSeparators(file)
                << " a fost mutat in baza de date " << moved.where << ":\n";
            for (const auto& [table, rows] : moved.rows)
                out << "  " << table << ": "
                    << Values::countText(rows, QStringLiteral("un rand"), QStringLiteral("randuri"))
                    << '\n';
            out << "Fisierul a ramas neschimbat, ca ultima copie locala a registrului.\n";
        } else {
            out << "Nu exista registrul " << QDir::toNativeSeparators(file)
                << "; registrul gol a fost creat in baza de date " << moved.where << ".\n";
        }
        out << "De acum programul lucreaza cu serverul (fisierul "
            << QDir::toNativeSeparators(choice) << ").\n";
        out.flush();
        return 0;
    } catch (const StoreError& e) {
        return fail(e.message());
    }
}

} // namespace ToServerCommand
