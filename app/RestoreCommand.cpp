#include "RestoreCommand.h"

#include "Backup.h"
#include "Database.h"
#include "Restore.h"
#include "StoreError.h"
#include "Upgrade.h"
#include "Values.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLocale>
#include <QTextStream>

namespace {

QString sizeText(qint64 bytes) {
    return QLocale(QLocale::Romanian).toString(double(bytes) / (1024.0 * 1024.0), 'f', 1) +
           QStringLiteral(" MB");
}

QString copyLine(const Restore::DailyCopy& c) {
    QString line = QStringLiteral("%1  %2  ").arg(Values::dateToText(c.day), sizeText(c.size));
    if (c.intact)
        return line +
               Values::countText(c.contents.places, QStringLiteral("un loc"),
                                 QStringLiteral("locuri")) +
               QStringLiteral("  verificata: buna");
    return line + QStringLiteral("DETERIORATA (%1)").arg(c.problem);
}

} // namespace

namespace RestoreCommand {

int run(const QString& day, bool yes, const QString& programDir, QTextStream& out,
        QTextStream& err) {
    const auto fail = [&](const QString& text) {
        out.flush();
        err << QString(text).replace(QLatin1Char('\n'), QLatin1Char(' ')) << '\n';
        err.flush();
        return 1;
    };
    try {
        const QString file = programDir + QString::fromLatin1(Database::FileName);
        const QString base = Backup::defaultBasePath();
        const QDate wanted = QDate::fromString(day, QStringLiteral("yyyyMMdd"));
        // Only the copy asked for is checked; all of them only when it is missing.
        const Restore::DailyCopy found =
            Restore::copyOf(base, QString::fromLatin1(Database::FileName), wanted);
        if (!found.day.isValid()) {
            const QList<Restore::DailyCopy> copies =
                Restore::list(base, QString::fromLatin1(Database::FileName));
            out << "Copiile zilnice din " << Backup::copiesRoot(base) << ":\n";
            for (const Restore::DailyCopy& c : copies)
                out << "  " << copyLine(c) << '\n';
            if (copies.isEmpty())
                out << "  (niciuna)\n";
            return fail(
                QStringLiteral("Nu exista o copie zilnica din %1").arg(Values::dateToText(wanted)));
        }
        const Restore::DailyCopy* chosen = &found;
        out << "Copia: " << chosen->path << '\n' << "  " << copyLine(*chosen) << '\n';
        if (!chosen->intact)
            return fail(QStringLiteral("Copia din %1 este deteriorata si nu poate fi restaurata")
                            .arg(Values::dateToText(wanted)));
        Database db(file);
        Restore::Contents now;
        if (QFileInfo::exists(file)) {
            try {
                db.open();
                now = Restore::contentsOf(db);
            } catch (const StoreError& e) {
                // A register that cannot be opened is what a restore mends.
                out << "Registrul de acum nu poate fi deschis: " << e.message() << '\n';
            }
        }
        out << '\n' << Restore::lossText(now, *chosen).section(QStringLiteral("\n\n"), 0, 1);
        if (!yes) {
            out << "\n\nNu s-a schimbat nimic. Pentru restaurare repetati comanda cu --yes.\n";
            out.flush();
            return 0;
        }
        const Restore::InUseLock inUse(file);
        if (!inUse.held())
            return fail(Restore::InUseLock::refusal(file));
        const QString kept = Restore::run(db, *chosen, base, QDateTime::currentDateTime());
        if (!db.isOpen())
            db.open();
        UpgradeHooks hooks;
        hooks.message = [&out](const QString& text) { out << text << '\n'; };
        SchemaUpgrade(db, std::move(hooks)).run();
        const Restore::Contents after = Restore::contentsOf(db);
        out << "\n\nCopia din " << Values::dateToText(wanted) << " a fost restaurata: "
            << Values::countText(after.places, QStringLiteral("un loc"), QStringLiteral("locuri"))
            << ".\n";
        if (!kept.isEmpty())
            out << "Registrul dinainte de restaurare: " << kept << '\n';
        out.flush();
        return 0;
    } catch (const StoreError& e) {
        return fail(e.message());
    } catch (const Abort&) {
        return fail(QStringLiteral("Restaurarea a fost oprita; registrul a ramas neschimbat"));
    }
}

} // namespace RestoreCommand
