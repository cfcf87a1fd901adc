// The register on a PostgreSQL server: the everyday work timed against bare
// libpq for the same statements, and a load of several clerk processes
// saving edits to overlapping places at once.
//   tombrix_bench PLACES --server CONNINFO        (an empty database)
//   tombrix_bench --clerk CONNINFO SEED SECONDS   one clerk of the load run
#include "BenchServer.h"

#include "BenchTiming.h"
#include "CatalogFilter.h"
#include "CatalogSort.h"
#include "Database.h"
#include "PlaceRegister.h"
#include "RegisterGenerator.h"
#include "StoreError.h"
#include "Table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <libpq-fe.h>
#include <vector>

namespace {

// Bare libpq: the statement run, every value of every row read.
void pgRows(PGconn* c, const char* sql) {
    PGresult* r = PQexec(c, sql);
    for (int i = 0; i < PQntuples(r); ++i)
        for (int f = 0; f < PQnfields(r); ++f)
            (void)PQgetvalue(r, i, f);
    PQclear(r);
}

// The places the clerks of the load run share: few, so that they collide.
constexpr int kSharedPlaces = 40;

} // namespace

int benchServer(int places, const QString& conninfo) {
    {
        Database gen(QString(), conninfo);
        gen.open();
        if (gen.scalar(QStringLiteral("SELECT count(*) FROM Catalog")).toLongLong() == 0) {
            QElapsedTimer t;
            t.start();
            generateRegister(gen, places, 20261208u);
            gen.exec(QStringLiteral("ANALYZE"));
            std::printf("%d places generated on the server in %.0f ms\n", places,
                        t.nsecsElapsed() / 1e6);
        }
    }
    YesPrompts yes;
    Prompts::install(&yes);
    Database db(QString(), conninfo);
    db.open();
    QObject owner;
    PlaceRegister reg(db, &owner);
    Table& catalog = reg.catalog();
    reg.unitatea().open();
    reg.loadUnitName();
    PGconn* bare = PQconnectdb(conninfo.toUtf8().constData());

    struct Row {
        const char* what;
        double ours, bare;
    };
    std::vector<Row> rows;
    const QList<Table*> opened = {&catalog, &reg.concesionari(), &reg.persInmormantate(),
                                  &reg.chitante()};
    const double open = medianMs(5, [&] {
        for (Table* t : opened)
            t->close();
        CatalogSort::choose(catalog, 0);
        for (Table* t : opened)
            t->open();
        CatalogSort::apply(catalog, 0);
    });
    const double openBare = medianMs(5, [&] {
        pgRows(bare, "SELECT rowid FROM \"Catalog\" ORDER BY \"Cimitir\" NULLS FIRST, \"Sector\" "
                     "NULLS FIRST, \"Parcela\" NULLS FIRST, \"Rand\" NULLS FIRST, \"Loc\" NULLS "
                     "FIRST, \"CNP_Uzufruct\" NULLS FIRST, rowid");
        pgRows(bare, "SELECT * FROM \"Catalog\" ORDER BY \"Cimitir\", \"Sector\", \"Parcela\", "
                     "\"Rand\", \"Loc\", \"CNP_Uzufruct\" LIMIT 40");
    });
    rows.push_back({"open in the first order", open, openBare});

    int choice = 0;
    const double sort =
        medianMs(6, [&] { CatalogSort::apply(catalog, choice = (choice == 6 ? 1 : 6)); });
    const double sortBare = medianMs(6, [&] {
        pgRows(bare, "SELECT rowid FROM \"Catalog\" ORDER BY \"Nume_Uzufruct\" NULLS FIRST, "
                     "\"CNP_Uzufruct\" NULLS FIRST, rowid");
    });
    rows.push_back({"change the sort order", sort, sortBare});

    catalog.setFiltered(true);
    const QStringList keys = {QStringLiteral("p"),     QStringLiteral("po"),
                              QStringLiteral("pop"),   QStringLiteral("pope"),
                              QStringLiteral("popes"), QStringLiteral("popesc")};
    int k = 0;
    const double keystroke = medianMs(int(keys.size()), [&] {
        reg.filter().setText(5, keys.at(k++));
        catalog.refresh();
    });
    const double keystrokeBare = medianMs(int(keys.size()), [&] {
        pgRows(bare, "SELECT rowid, * FROM \"Catalog\" WHERE upper(\"Nume_Uzufruct\") LIKE "
                     "'%POPES%' ORDER BY \"Nume_Uzufruct\", \"CNP_Uzufruct\"");
    });
    rows.push_back({"one filter keystroke (filter on)", keystroke, keystrokeBare});
    reg.filter().clear();
    catalog.setFiltered(false);

    const double add = medianMs(20, [&] {
        catalog.append();
        catalog.setValue(QStringLiteral("Loc"), QStringLiteral("99"));
        catalog.post();
    });
    const double addBare = medianMs(20, [&] {
        pgRows(bare, "SELECT MAX(\"Id_Loc\") FROM \"Catalog\"");
        pgRows(bare, "INSERT INTO \"Catalog\" (\"Id_Loc\", \"Cimitir\", \"Loc\") SELECT "
                     "MAX(\"Id_Loc\") + 1, 'X', '99' FROM \"Catalog\" RETURNING rowid");
    });
    rows.push_back({"add a place (identifier query, post)", add, addBare});
    PQfinish(bare);
    Prompts::install(nullptr);

    std::printf("%-40s %12s %12s %8s\n", "work (server)", "Tombrix ms", "bare libpq ms", "ratio");
    for (const Row& r : rows)
        std::printf("%-40s %12.2f %12.2f %8.1f\n", r.what, r.ours, r.bare,
                    r.bare > 0 ? r.ours / r.bare : 0);
    return 0;
}

int clerkRun(const QString& conninfo, quint32 seed, int seconds) {
    YesPrompts yes;
    Prompts::install(&yes);
    Database db(QString(), conninfo);
    db.open();
    QObject owner;
    PlaceRegister reg(db, &owner);
    reg.open();
    Table& catalog = reg.catalog();
    QRandomGenerator random(seed);
    int stored = 0, refused = 0;
    double slowest = 0;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < seconds * 1000LL) {
        // Each save adds one to the counter kept in the place's notes, from
        // the value this clerk read: a lost save would show as a missing one.
        const QString loc = QStringLiteral("L%1").arg(random.bounded(kSharedPlaces));
        if (!catalog.locate(QStringLiteral("Loc"), loc))
            continue;
        QElapsedTimer save;
        save.start();
        try {
            catalog.edit();
            catalog.setValue(
                QStringLiteral("Observatii"),
                QString::number(catalog.asString(QStringLiteral("Observatii")).toInt() + 1));
            catalog.post();
            ++stored;
        } catch (const StoreError& e) {
            if (e.kind() != FailureKind::Conflict)
                throw;
            catalog.cancel();
            ++refused;
        }
        slowest = std::max(slowest, save.nsecsElapsed() / 1e6);
    }
    std::printf("%d %d %.1f\n", stored, refused, slowest);
    return 0;
}

int loadRun(const QString& conninfo, int clerks, int seconds) {
    {
        Database db(QString(), conninfo);
        db.open();
        db.exec(QStringLiteral("DELETE FROM Catalog WHERE Loc LIKE 'L%'"));
        for (int i = 0; i < kSharedPlaces; ++i)
            db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Loc, Observatii) "
                                   "VALUES (?, 'Sarcina', ?, '0')"),
                    {-1 - i, QStringLiteral("L%1").arg(i)});
    }
    std::vector<std::unique_ptr<QProcess>> procs;
    for (int i = 0; i < clerks; ++i) {
        auto p = std::make_unique<QProcess>();
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--clerk"), conninfo, QString::number(1000 + i),
                  QString::number(seconds)});
        procs.push_back(std::move(p));
    }
    long stored = 0, refused = 0;
    double slowest = 0;
    for (auto& p : procs) {
        p->waitForFinished(seconds * 1000 + 120000);
        const QList<QByteArray> f = p->readAllStandardOutput().trimmed().split(' ');
        if (f.size() != 3) {
            std::printf("a clerk failed: %s\n", p->readAllStandardError().constData());
            continue;
        }
        stored += f[0].toLong();
        refused += f[1].toLong();
        slowest = std::max(slowest, f[2].toDouble());
    }
    Database db(QString(), conninfo);
    db.open();
    const long counted =
        db.scalar(QStringLiteral("SELECT sum(CAST(Observatii AS integer)) FROM Catalog WHERE "
                                 "Cimitir = 'Sarcina'"))
            .toLongLong();
    const long ids = db.scalar(QStringLiteral("SELECT count(*) - count(DISTINCT Id_Loc) FROM "
                                              "Catalog"))
                         .toLongLong();
    std::printf("load: %d clerks, %d s, %d shared places: %ld saves stored (%.1f a second), "
                "%ld refused as conflicts, slowest save %.1f ms; lost %ld, duplicate ids %ld\n",
                clerks, seconds, kSharedPlaces, stored, stored / double(seconds), refused, slowest,
                stored - counted, ids);
    return stored == counted && ids == 0 ? 0 : 1;
}
