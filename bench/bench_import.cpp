// Times the import of an office's old table files: the benchmark's
// synthetic register is written once as old files (pxlib's writer), then
// read by the trial and imported into a fresh register.
// Usage: tombrix_import_bench [places] [dir]   (default: 100000, a temp dir)
// With `dir` the old files are kept there and reused by the next run with
// the same number of places: writing them takes minutes and is not timed.
#include "Database.h"
#include "LegacyImport.h"
#include "ParadoxWriter.h"
#include "RegisterGenerator.h"
#include "Schema.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// Writes one table of the register as an old file, field by field.
void exportTable(Database& db, const QString& table, const QString& dir) {
    const QList<ParadoxWriter::Column> cols = ParadoxWriter::tableColumns(table);
    const TableDef* def = Schema::find(table);
    QStringList names;
    for (const ParadoxWriter::Column& c : cols)
        names << c.name;
    const bool memo = table == QLatin1String("Concesionari");
    ParadoxWriter w(dir + QLatin1Char('/') + table + QStringLiteral(".DB"), cols,
                    memo ? dir + QStringLiteral("/Concesionari.MB") : QString());
    Statement q =
        db.prepare(QStringLiteral("SELECT %1 FROM %2").arg(names.join(QLatin1Char(',')), table));
    QVariantList row;
    int n = 0;
    while (q.step()) {
        row.clear();
        for (int i = 0; i < cols.size(); ++i) {
            QVariant v = q.value(i);
            for (const FieldDef& f : def->fields)
                if (f.name == cols.at(i).name && f.type == FieldType::Date && !v.isNull())
                    v = QDate::fromString(v.toString(), Qt::ISODate);
            if (memo && cols.at(i).name == QLatin1String("Explicatie") && ++n % 50 == 0)
                v = QStringLiteral("scutit conform hotararii nr. %1; ").arg(n).repeated(12);
            row << v;
        }
        w.add(row);
    }
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int places = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString old =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("old"));
    QDir().mkpath(old);
    // Written last, so that an interrupted write is never taken for a finished one.
    QFile stamp(old + QStringLiteral("/places.txt"));
    QElapsedTimer t;
    t.start();
    if (stamp.open(QIODevice::ReadOnly) && stamp.readAll().trimmed().toInt() == places) {
        std::printf("%d places: old files of an earlier run reused from %s\n", places,
                    qPrintable(old));
    } else {
        stamp.close();
        stamp.remove();
        {
            Database gen(dir.filePath(QStringLiteral("gen.sqlite")));
            gen.open();
            generateRegister(gen, places, 20261208);
            for (const TableDef& td : Schema::tables())
                exportTable(gen, td.name, old);
        }
        if (stamp.open(QIODevice::WriteOnly))
            stamp.write(QByteArray::number(places));
        std::printf("%d places: old files written in %.1f s\n", places, t.nsecsElapsed() / 1e9);
    }
    stamp.close();

    Database db(dir.filePath(QStringLiteral("Tombrix.sqlite")));
    db.open();
    const LegacyImport imp(old);
    t.restart();
    const LegacyImport::Result trial = imp.trial();
    const double trialS = t.nsecsElapsed() / 1e9;
    t.restart();
    const LegacyImport::Result done =
        imp.run(db, dir.filePath(QStringLiteral("backup/Tombrix")), QDateTime::currentDateTime());
    const double runS = t.nsecsElapsed() / 1e9;
    qint64 rows = 0;
    for (const LegacyImport::TableCount& c : done.tables)
        rows += c.imported;
    std::printf("trial %.2f s, import %.2f s, total %.2f s; %lld rows, %lld problems\n", trialS,
                runS, trialS + runS, static_cast<long long>(rows),
                static_cast<long long>(trial.problems.size()));
    return 0;
}
