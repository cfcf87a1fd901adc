// Times the register's everyday work at a given size against the bare SQL
// for the same work, so each figure reads as a ratio.
// Usage: tombrix_bench [places ...]   (default: 10000 100000)
//        tombrix_bench PLACES --server CONNINFO   (see bench_server.cpp)
#include "Backup.h"
#include "BenchServer.h"
#include "BenchTiming.h"
#include "CatalogFilter.h"
#include "CatalogSort.h"
#include "Database.h"
#include "PlaceRegister.h"
#include "RegisterGenerator.h"
#include "Search.h"
#include "Table.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sqlite3.h>
#include <vector>

namespace {

long peakKb() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// The bare SQL: every row of the statement stepped through, columns read.
void sqlRows(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int c = 0; c < sqlite3_column_count(st); ++c)
            (void)sqlite3_column_text(st, c);
    sqlite3_finalize(st);
}

void sqlExec(sqlite3* db, const char* sql) {
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

struct Row {
    const char* what;
    double ours;
    double bare;
};

void printRows(const std::vector<Row>& rows) {
    std::printf("%-40s %12s %12s %8s\n", "work", "Tombrix ms", "bare SQL ms", "ratio");
    for (const Row& r : rows)
        std::printf("%-40s %12.2f %12.2f %8.1f\n", r.what, r.ours, r.bare,
                    r.bare > 0 ? r.ours / r.bare : 0);
}

// The field search finding nothing: the register's holder names in the
// first order, and every receipt of every place with the detail tab's link
// cut. Run after the memory figure, since the cut link holds every receipt.
void benchSearch(const QString& file, PlaceRegister& reg) {
    sqlite3* bare = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &bare, SQLITE_OPEN_READONLY, nullptr);
    std::vector<Row> rows;
    Table& catalog = reg.catalog();
    Table& chit = reg.chitante();
    CatalogSort::apply(catalog, 0);
    const auto wanted = [](Table& t, const char* field, const char* text) {
        SearchValue v;
        QString message;
        FieldSearch::convert(t.fieldDef(QString::fromLatin1(field)), QString::fromLatin1(text),
                             false, &v, &message);
        return v;
    };
    const auto miss = [](Table& t, const char* field, const SearchValue& v) {
        if (FieldSearch::findRow(t, t.fieldIndex(QString::fromLatin1(field)), v, 0) >= 0)
            std::printf("unexpected match\n");
    };

    const SearchValue name = wanted(catalog, "Nume_Uzufruct", "qzxq");
    const double inRegister = medianMs(7, [&] { miss(catalog, "Nume_Uzufruct", name); });
    const double inRegisterBare = medianMs(7, [&] {
        sqlRows(bare, "SELECT rowid FROM Catalog WHERE instr(upper(Nume_Uzufruct), 'QZXQ') > 0");
    });
    rows.push_back({"search a name in the register, no match", inRegister, inRegisterBare});
    const double columnBare =
        medianMs(7, [&] { sqlRows(bare, "SELECT rowid, Nume_Uzufruct FROM Catalog"); });
    rows.push_back({"  the same against reading the column", inRegister, columnBare});

    const double cut = medianMs(1, [&] { chit.setLinkEnabled(false); });
    const double cutBare = medianMs(3, [&] {
        sqlRows(bare, "SELECT rowid FROM Chitante ORDER BY Id_Loc, Data, Nr_chit, rowid");
    });
    rows.push_back({"receipts tab: cut the link", cut, cutBare});
    const int receipts = chit.recordCount();
    const SearchValue number = wanted(chit, "Nr_chit", "-1");
    const double inReceipts = medianMs(7, [&] { miss(chit, "Nr_chit", number); });
    const double inReceiptsBare =
        medianMs(7, [&] { sqlRows(bare, "SELECT rowid FROM Chitante WHERE Nr_chit = -1"); });
    rows.push_back({"search all receipts, no match", inReceipts, inReceiptsBare});
    const double relink = medianMs(1, [&] {
        chit.setLinkEnabled(true);
        chit.first();
    });
    rows.push_back({"receipts tab: restore the link", relink, 0});
    std::printf("field search (%d receipts in all):\n", receipts);
    sqlite3_close(bare);
    printRows(rows);
    std::printf("peak memory after the search (VmHWM): %.1f MB\n", peakKb() / 1024.0);
}

void benchSize(int places) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Tombrix.sqlite"));
    {
        Database gen(file);
        gen.open();
        QElapsedTimer t;
        t.start();
        generateRegister(gen, places, 20261208u);
        std::printf("\n%d places (generated in %.0f ms)\n", places, t.nsecsElapsed() / 1e6);
    }
    YesPrompts yes;
    Prompts::install(&yes);
    std::vector<Row> rows;

    Database db(file);
    db.open();
    QObject owner;
    PlaceRegister reg(db, &owner);
    Table& catalog = reg.catalog();
    CatalogFilter& filter = reg.filter();
    reg.unitatea().open();
    reg.loadUnitName();

    sqlite3* bare = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &bare, SQLITE_OPEN_READWRITE, nullptr);
    const long peakBeforeTables = peakKb();

    // The start-up's check of the pages, before the daily copy.
    const double check =
        medianMs(3, [&] { Backup::verify(file, db, dir.filePath(QStringLiteral("b"))); });
    const double checkBare = medianMs(3, [&] { sqlRows(bare, "PRAGMA quick_check"); });
    rows.push_back({"check the register at start (quick_check)", check, checkBare});

    const QList<Table*> opened = {&catalog, &reg.concesionari(), &reg.persInmormantate(),
                                  &reg.chitante()};
    const double open = medianMs(5, [&] {
        for (Table* t : opened)
            t->close();
        // As the start-up does: the order chosen before the rows are read.
        CatalogSort::choose(catalog, 0);
        for (Table* t : opened)
            t->open();
        CatalogSort::apply(catalog, 0);
    });
    const double openBare = medianMs(5, [&] {
        // The row ids in index order and the first screen of values.
        sqlRows(bare, "SELECT rowid FROM Catalog ORDER BY Cimitir, Sector, Parcela, Rand, Loc, "
                      "CNP_Uzufruct, rowid");
        sqlRows(bare, "SELECT * FROM Catalog ORDER BY Cimitir, Sector, Parcela, Rand, Loc, "
                      "CNP_Uzufruct LIMIT 40");
    });
    rows.push_back({"open in the first order", open, openBare});

    int choice = 0;
    const double sort =
        medianMs(6, [&] { CatalogSort::apply(catalog, choice = (choice == 6 ? 1 : 6)); });
    const double sortBare = medianMs(6, [&] {
        sqlRows(bare, "SELECT rowid FROM Catalog ORDER BY Nume_Uzufruct, CNP_Uzufruct, rowid");
    });
    rows.push_back({"change the sort order", sort, sortBare});

    // The next place with the three detail tables following it, each detail
    // row's values read as its grid would show them.
    catalog.moveTo(catalog.recordCount() / 2);
    const std::vector<Table*> details = {&reg.concesionari(), &reg.persInmormantate(),
                                         &reg.chitante()};
    std::vector<qint64> movedTo;
    const double move = medianMs(50, [&] {
        catalog.next();
        movedTo.push_back(catalog.value(QStringLiteral("Id_Loc")).toLongLong());
        for (Table* d : details)
            for (int r = 0; r < d->rowCount(); ++r)
                for (int f = 0; f < d->fields().size(); ++f)
                    (void)d->valueAt(r, f);
    });
    size_t m = 0;
    const double moveBare = medianMs(50, [&] {
        const QByteArray id = QByteArray::number(movedTo.at(m++ % movedTo.size()));
        sqlRows(bare, "SELECT * FROM Catalog WHERE Id_Loc = " + id);
        for (const char* t : {"Concesionari", "PersInmormantate", "Chitante"})
            sqlRows(bare, QByteArray("SELECT rowid, * FROM ") + t + " WHERE Id_Loc = " + id +
                              " ORDER BY rowid");
    });
    rows.push_back({"move to the next place (three details)", move, moveBare});

    const double filterOn = medianMs(1, [&] { catalog.setFiltered(true); });
    const double filterOnBare = medianMs(1, [&] { sqlRows(bare, "SELECT rowid, * FROM Catalog"); });
    rows.push_back({"filter mode on (reads every value once)", filterOn, filterOnBare});
    const QStringList keys = {QStringLiteral("p"),     QStringLiteral("po"),
                              QStringLiteral("pop"),   QStringLiteral("pope"),
                              QStringLiteral("popes"), QStringLiteral("popesc")};
    int k = 0;
    const double keystroke = medianMs(int(keys.size()), [&] {
        filter.setText(5, keys.at(k++));
        catalog.refresh();
    });
    const double keystrokeBare = medianMs(int(keys.size()), [&] {
        sqlRows(bare, "SELECT rowid, * FROM Catalog WHERE upper(Nume_Uzufruct) LIKE '%POPES%' "
                      "ORDER BY Nume_Uzufruct, CNP_Uzufruct");
    });
    rows.push_back({"one filter keystroke (filter on)", keystroke, keystrokeBare});
    filter.clear();
    catalog.setFiltered(false);

    const double add = medianMs(20, [&] {
        catalog.append();
        catalog.setValue(QStringLiteral("Loc"), QStringLiteral("99"));
        catalog.post();
    });
    const double addBare = medianMs(20, [&] {
        sqlRows(bare, "SELECT MAX(Id_Loc) FROM Catalog");
        sqlExec(bare, "INSERT INTO Catalog (Id_Loc, Cimitir, Loc) SELECT MAX(Id_Loc) + 1, 'X', "
                      "'99' FROM Catalog");
    });
    rows.push_back({"add a place (identifier query, post)", add, addBare});

    // Places with details, spread through the register.
    const double del = medianMs(10, [&] {
        catalog.moveTo(catalog.recordCount() / 3);
        catalog.remove();
    });
    int victim = places / 2;
    const double delBare = medianMs(10, [&] {
        const QByteArray id = QByteArray::number(victim++);
        sqlExec(bare, "BEGIN");
        for (const char* t : {"Concesionari", "PersInmormantate", "Chitante", "Catalog"})
            sqlExec(bare, QByteArray("DELETE FROM ") + t + " WHERE Id_Loc = " + id);
        sqlExec(bare, "COMMIT");
    });
    rows.push_back({"delete a place with its details", del, delBare});

    sqlite3_close(bare);
    Prompts::install(nullptr);
    std::printf("%-40s %12s %12s %8s\n", "work", "Tombrix ms", "bare SQL ms", "ratio");
    for (const Row& r : rows)
        std::printf("%-40s %12.2f %12.2f %8.1f\n", r.what, r.ours, r.bare,
                    r.bare > 0 ? r.ours / r.bare : 0);
    std::printf("peak memory (VmHWM): %.1f MB (%.1f MB before the tables opened)\n",
                peakKb() / 1024.0, peakBeforeTables / 1024.0);
    benchSearch(file, reg);
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--clerk"))
        return clerkRun(args.value(2), args.value(3).toUInt(), args.value(4).toInt());
    if (const qsizetype at = args.indexOf(QStringLiteral("--server")); at > 0) {
        const int places = args.value(1).toInt() > 0 ? args.value(1).toInt() : 100000;
        const int code = benchServer(places, args.value(at + 1));
        return code ? code : loadRun(args.value(at + 1), 10, 60);
    }
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(QByteArray(argv[i]).toInt());
    if (sizes.empty())
        sizes = {10000, 100000};
    for (int n : sizes)
        benchSize(n);
    return 0;
}
