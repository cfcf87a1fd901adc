// The start-up sequence: the daily copy and the structure upgrade.
#include "Backup.h"
#include "Database.h"
#include "MainUnt.h"
#include "Table.h"
#include "TestSupport.h"

#include <QtTest>

namespace {

qint64 scalar(Database& db, const QString& sql) {
    return scalarOf(db, sql);
}

// A register with a few rows, written by an earlier run.
void seedRegister(const TempProgramDir& dir) {
    Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
    db.open();
    db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Loc) VALUES (1, '1'), (2, '2')"));
    db.exec(QStringLiteral("INSERT INTO Concesionari (Id_Loc, Nr_concesiune) VALUES (1, 1)"));
    db.exec(QStringLiteral("INSERT INTO PersInmormantate (Id_Loc, Numar) VALUES (2, 1)"));
    db.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit) VALUES (2, 9)"));
    db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES ('Central')"));
}

} // namespace

class TestStartUp : public QObject {
    Q_OBJECT
private slots:
    void twoStartsOnOneDayMakeOneCopy() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        FixedToday today(QDate(2024, 3, 5));
        seedRegister(dir);
        for (int start = 0; start < 2; ++start) {
            TMainForm form(dir.path());
            QVERIFY(form.Catalog()->isActive());
            form.close();
        }
        QVERIFY(prompts.shown().isEmpty());
        const QDir days(dir.backupRoot() + QStringLiteral("/SalvariQuarvenn"));
        QCOMPARE(days.entryList(QDir::Dirs | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("20240305")});
        {
            Database copy(days.filePath(QStringLiteral("20240305/Tombrix/Tombrix.sqlite")));
            Database reg(dir.file(QStringLiteral("Tombrix.sqlite")));
            copy.open();
            reg.open();
            QCOMPARE(valueOf(copy, QStringLiteral("PRAGMA integrity_check")).toString(),
                     QStringLiteral("ok"));
            for (const char* t :
                 {"Catalog", "Concesionari", "PersInmormantate", "Chitante", "Unitatea"}) {
                const QString sql = QStringLiteral("SELECT count(*) FROM ") + QLatin1String(t);
                QCOMPARE(scalar(copy, sql), scalar(reg, sql));
                QVERIFY(scalar(copy, sql) > 0);
            }
        }
    }

    void olderRegisterGetsTheEightFieldsAtStart() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        FixedToday today(QDate(2024, 3, 5));
        seedRegister(dir);
        const QList<std::pair<const char*, const char*>> added = {
            {"PersInmormantate", "Serie_CD"}, {"Concesionari", "Nr_ani_concesiune"},
            {"Chitante", "DStart"},           {"Chitante", "DStop"},
            {"Concesionari", "Observatii"},   {"Concesionari", "Act_concesiune"},
            {"Catalog", "Observatii"},        {"Concesionari", "Localitatea"}};
        {
            Database db(dir.file(QStringLiteral("Tombrix.sqlite")));
            db.open();
            for (const auto& [table, field] : added)
                db.exec(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2")
                            .arg(QLatin1String(table), QLatin1String(field)));
        }
        TMainForm form(dir.path());
        QCOMPARE(prompts.texts(),
                 QStringList(8, QStringLiteral("Se actualizeaza structura bazei de date !")));
        QCOMPARE(prompts.shown().first().icon, PromptIcon::None);
        QVERIFY(!QGuiApplication::overrideCursor());
        for (const auto& [table, field] : added) {
            Table* t = form.findChild<Table*>(QLatin1String(table));
            QVERIFY(t && t->isActive());
            QVERIFY2(t->hasField(QLatin1String(field)), field);
        }
        Database& db = form.database();
        QCOMPARE(
            scalar(db, QStringLiteral("SELECT count(*) FROM Catalog WHERE Observatii IS NULL")), 2);
        QCOMPARE(scalar(db, QStringLiteral("SELECT count(*) FROM Concesionari")), 1);
        QCOMPARE(scalar(db, QStringLiteral("SELECT count(*) FROM PersInmormantate")), 1);
        QCOMPARE(scalar(db, QStringLiteral("SELECT count(*) FROM Chitante")), 1);
        QCOMPARE(form.unitName(), QStringLiteral("Central"));
        // The day's copy keeps the register as it was before the upgrade.
        Database copy(dir.backupRoot() +
                      QStringLiteral("/SalvariQuarvenn/20240305/Tombrix/Tombrix.sqlite"));
        copy.open();
        QCOMPARE(
            scalar(copy, QStringLiteral("SELECT count(*) FROM pragma_table_info('Concesionari') "
                                        "WHERE name = 'Localitatea'")),
            0);
    }

    void backupThatCannotBeMadeStopsTheStart() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        FixedToday today(QDate(2024, 3, 5));
        seedRegister(dir);
        QFile blocker(dir.backupRoot() + QStringLiteral("/file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString base = blocker.fileName() + QStringLiteral("/Tombrix");
        const QString previous = Backup::setDefaultBasePath(base);
        TMainForm form(dir.path());
        Backup::setDefaultBasePath(previous);
        QCOMPARE(prompts.texts(),
                 QStringList{
                     QStringLiteral("Nu pot salva baza de date in directorul ") +
                     QDir::toNativeSeparators(blocker.fileName() +
                                              QStringLiteral("/SalvariQuarvenn/20240305/Tombrix")) +
                     QLatin1Char('.')});
        QCOMPARE(prompts.shown().first().icon, PromptIcon::Error);
        for (Table* t : {form.Catalog(), form.Concesionari(), form.PersInmormantate(),
                         form.Chitante(), form.Unitatea()})
            QVERIFY(!t->isActive());
    }
};

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
