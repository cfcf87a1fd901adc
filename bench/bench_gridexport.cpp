// Usage: bench_gridexport [places]   (default 100000; run offscreen)
// Writes the register's grid of places, every field a column, to .xlsx and
// to .csv, as "Sistem" -> "Exporta tabelul curent..." does, and times it.
#include "DBGNorm.h"
#include "Database.h"
#include "GridExport.h"
#include "RegisterGenerator.h"
#include "Table.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const int places = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("Tombrix.sqlite"));
    {
        Database gen(file);
        gen.open();
        generateRegister(gen, places, 20261208u);
    }
    Database db(file);
    db.open();
    Table catalog(db);
    catalog.setTableName(QStringLiteral("Catalog.DB"));
    catalog.open();
    TDBGridNormal grid;
    grid.setTable(&catalog);
    QList<GridColumn> columns;
    for (const FieldDef& f : catalog.fields())
        columns << GridColumn::make(f.name);
    grid.setColumns(columns);
    std::printf("%d places, %d columns\n", catalog.rowCount(), int(columns.size()));
    for (const char* name : {"locuri.xlsx", "locuri.csv", "locuri2.xlsx"}) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QElapsedTimer t;
        t.start();
        const int rows = GridExport::write(grid, path);
        std::printf("%-14s %7d rows %9.0f ms %8.1f MB\n", name, rows, t.nsecsElapsed() / 1e6,
                    QFileInfo(path).size() / 1048576.0);
    }
    return 0;
}
