// "Sistem" -> "Exporta tabelul curent..." in the main window: the register
// filtered by a name typed without its marks, exported, read back.
#include "DBGNorm.h"
#include "Database.h"
#include "GridExport.h"
#include "MainUnt.h"
#include "SheetReader.h"
#include "Table.h"
#include "TestSupport.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestMainExport : public QObject {
    Q_OBJECT
private slots:
    void filteredRegisterExportsOnlyItsRows() {
        TempProgramDir dir;
        {
            Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
            db.open();
            db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES ('Bellu')"));
            db.exec(QStringLiteral(
                "INSERT INTO Catalog (Id_Loc, Cimitir, Loc, CNP_Uzufruct, Nume_Uzufruct) VALUES "
                "(1, 'Bellu', '1', '1850101123456', 'ȘTEFAN ȚĂRANU'), (2, 'Bellu', '2', NULL, "
                "'ŞTEFAN IONIŢĂ'), (3, 'Bellu', '3', NULL, 'POPA ION'), (4, 'Bellu', '4', NULL, "
                "'Stefan Pop')"));
        }
        ScriptedPrompts prompts;
        TMainForm form(dir.path());
        auto* grid = form.findChild<TDBGridNormal*>(QStringLiteral("CatGrid"));
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("FiltrareBtn")),
                          Qt::LeftButton);
        QTest::keyClicks(form.findChild<QLineEdit*>(QStringLiteral("FiltrNumeEdit")),
                         QStringLiteral("stefan"));
        QCOMPARE(form.Catalog()->recordCount(), 3);
        grid->setFocus();

        const QString path = dir.file(QStringLiteral("registru.xlsx"));
        QString suggested;
        GridExport::setFileChooser([&](QWidget*, const QString& s) {
            suggested = s;
            return path;
        });
        form.findChild<QAction*>(QStringLiteral("Exportatabelulcurent1"))->trigger();
        GridExport::setFileChooser({});
        QVERIFY(suggested.endsWith(QStringLiteral("Catalog.xlsx")));
        QVERIFY2(prompts.texts().last().startsWith(QStringLiteral("Am scris 3 randuri")),
                 qPrintable(prompts.texts().last()));

        const Sheet s = readSheet(path);
        QCOMPARE(s.rows, 4); // headings and the three rows shown
        QStringList titles;
        const QHeaderView* h = grid->horizontalHeader();
        for (int v = 0; v < h->count(); ++v)
            if (!grid->isColumnHidden(h->logicalIndex(v)))
                titles << grid->model()->headerData(h->logicalIndex(v), Qt::Horizontal).toString();
        QCOMPARE(s.row(1), titles);
        const int name = int(titles.indexOf(QStringLiteral("Numele si prenumele uzufructului")));
        QVERIFY(name >= 0);
        const int cnp = int(titles.indexOf(QStringLiteral("Cod personal uzufruct")));
        QVERIFY(cnp >= 0);
        QStringList names;
        for (int r = 2; r <= s.rows; ++r)
            names << s.row(r).value(name);
        names.sort();
        bool cnpAsText = false;
        for (int r = 2; r <= s.rows; ++r)
            if (s.row(r).value(cnp) == QLatin1String("1850101123456"))
                cnpAsText =
                    s.at(QChar('A' + cnp) + QString::number(r)).kind == QLatin1String("text");
        QVERIFY(cnpAsText);
        QCOMPARE(names, (QStringList{QStringLiteral("Stefan Pop"), QStringLiteral("ŞTEFAN IONIŢĂ"),
                                     QStringLiteral("ȘTEFAN ȚĂRANU")}));
    }
};

QTEST_MAIN(TestMainExport)
#include "tst_mainexport.moc"
