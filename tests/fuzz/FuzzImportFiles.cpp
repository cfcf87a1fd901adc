#include "FuzzImportFiles.h"

#include "ParadoxWriter.h"

#include <QDate>
#include <QVariant>

namespace FuzzImportFiles {

QStringList names() {
    return {QStringLiteral("Catalog.DB"),          QStringLiteral("Concesionari.DB"),
            QStringLiteral("PersInmormantate.DB"), QStringLiteral("Chitante.DB"),
            QStringLiteral("Unitatea.DB"),         QStringLiteral("Concesionari.MB")};
}

void write(const QString& dir) {
    auto cols = [](const char* t) { return ParadoxWriter::tableColumns(QString::fromLatin1(t)); };
    {
        ParadoxWriter w(dir + QStringLiteral("/Catalog.DB"), cols("Catalog"));
        w.add({1.0, QStringLiteral("Bellu"), "1", "2", "3", "4", "1800101221144",
               QStringLiteral("Ţăranu Ştefan"), QStringLiteral("gard")});
        w.add({2.0, QStringLiteral("Nord"), "12A"});
        w.add({3.0});
    }
    {
        const auto c = cols("Concesionari");
        ParadoxWriter w(dir + QStringLiteral("/Concesionari.DB"), c,
                        dir + QStringLiteral("/Concesionari.MB"));
        auto row = [&](double id, double nr, const QString& memo) {
            QVariantList r(c.size());
            r[0] = id;
            r[1] = nr;
            r[2] = QDate(2001, 5, 6);
            r[5] = QStringLiteral("Ţăranu");
            r[19] = true;
            r[22] = memo;
            r[23] = 25;
            return r;
        };
        w.add(row(1.0, 10.0, QStringLiteral("scurt")));
        w.add(row(1.0, 11.0, QString(700, QLatin1Char('m'))));
        w.add(row(2.0, 20.0, QString(5000, QLatin1Char('x'))));
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/PersInmormantate.DB"), cols("PersInmormantate"));
        w.add({1.0, 1.0, QDate(1990, 1, 2), QStringLiteral("Ţăranu Ion"), "tata"});
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Chitante.DB"), cols("Chitante"));
        w.add({1.0, 1.0, QDate(2020, 1, 2), "taxa", 50.5, "Ion", "Taxa anuala", QDate(2020, 1, 1),
               QDate(2020, 12, 31)});
        w.add({2.0, 2.0, QDate(2020, 1, 3), "taxa", -60.0});
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Unitatea.DB"), cols("Unitatea"));
        w.add({QStringLiteral("Primăria Bellu")});
    }
}

} // namespace FuzzImportFiles
