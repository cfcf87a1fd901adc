#pragma once

#include "DBGNorm.h"
#include "Database.h"
#include "Table.h"
#include "TestSupport.h"

#include <QVBoxLayout>
#include <QWidget>
#include <memory>

// A fresh register with the four grids of the layout file on its tables,
// each with a few built-in columns, in a window of their own.
class GridSet {
public:
    GridSet() {
        db = std::make_unique<Database>(dir.file(QStringLiteral("Tombrix.sqlite")));
        db->open();
        const QStringList names = {QStringLiteral("Catalog.DB"), QStringLiteral("Concesionari.DB"),
                                   QStringLiteral("PersInmormantate.DB"),
                                   QStringLiteral("Chitante.DB")};
        auto* lay = new QVBoxLayout(&window);
        for (const QString& n : names) {
            auto* t = new Table(*db, &window);
            t->setTableName(n);
            t->open();
            tables << t;
            auto* g = new TDBGridNormal(&window);
            g->setTable(t);
            lay->addWidget(g);
            grids << g;
        }
        GridColumn tip =
            GridColumn::make(QStringLiteral("Tip_incasare"), QStringLiteral("Tipul"), 139);
        tip.pickList = QStringList{QStringLiteral("Concesiune"), QStringLiteral("Taxa anuala"),
                                   QStringLiteral("Inhumare")};
        builtIn = {
            {GridColumn::make(QStringLiteral("Cimitir"), QStringLiteral("Cimitirul"), 203),
             GridColumn::make(QStringLiteral("Sector"), QStringLiteral("Sectorul"), 50),
             GridColumn::make(QStringLiteral("Loc"))},
            {GridColumn::make(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Numele"), 183),
             GridColumn::make(QStringLiteral("Strada"), {}, 129)},
            {GridColumn::make(QStringLiteral("Numele"), {}, 216),
             GridColumn::make(QStringLiteral("Data"))},
            {tip, GridColumn::make(QStringLiteral("Suma"), {}, 44)},
        };
        for (int i = 0; i < 4; ++i)
            grids[i]->setColumns(builtIn[i]);
    }
    ~GridSet() {
        delete window.layout();
        qDeleteAll(grids);
        qDeleteAll(tables);
    }

    // A grid's columns as "field:width" in their order.
    static QStringList describe(const TDBGridNormal* g) {
        QStringList out;
        for (const GridColumn& c : g->layoutColumns())
            out << QStringLiteral("%1:%2").arg(c.fieldName).arg(c.width);
        return out;
    }

    TempProgramDir dir;
    std::unique_ptr<Database> db;
    QWidget window;
    QList<Table*> tables;
    QList<TDBGridNormal*> grids;
    QList<QList<GridColumn>> builtIn;
};
