// The table store without a GUI: opening by file name, fields, links,
// indexes, editing with its events, queries and the damaged-file cases.
#include "Database.h"
#include "Query.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"

#include <QFile>
#include <QtTest>
#include <functional>

namespace {

QVariant rawValue(Database& db, const QString& sql) {
    return valueOf(db, sql);
}

// Adds a place with the given fields through the data set.
void addPlace(Table& catalog, double id, const QString& loc, const QString& name = {}) {
    catalog.append();
    catalog.setValue(QStringLiteral("Id_Loc"), id);
    catalog.setValue(QStringLiteral("Loc"), loc);
    if (!name.isEmpty())
        catalog.setValue(QStringLiteral("Nume_Uzufruct"), name);
    catalog.post();
}

void addDetail(Table& detail, const QString& field, const QVariant& v) {
    detail.append();
    detail.setValue(field, v);
    detail.post();
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    TempProgramDir m_dir;
    std::unique_ptr<Database> m_db;

private slots:
    void init() {
        QFile::remove(m_dir.file(QStringLiteral("Tombrix.sqlite")));
        m_db = std::make_unique<Database>(m_dir.file(QStringLiteral("Tombrix.sqlite")));
        m_db->open();
    }
    void cleanup() { m_db.reset(); }

    void freshRegisterHasTablesAndIndexes() {
        QVERIFY(m_db->createdFresh());
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        QStringList lists;
        for (const IndexDef& d : catalog.indexDefs())
            lists << d.fields;
        for (const char* want : {"Cimitir;Sector;Parcela;Rand;Loc;CNP_Uzufruct",
                                 "Sector;Parcela;Rand;Loc;CNP_Uzufruct",
                                 "Parcela;Rand;Loc;CNP_Uzufruct", "Rand;Loc;CNP_Uzufruct",
                                 "Loc;CNP_Uzufruct", "CNP_Uzufruct", "Nume_Uzufruct;CNP_Uzufruct"})
            QVERIFY2(lists.contains(QString::fromLatin1(want)), want);
        for (const char* t :
             {"Concesionari.DB", "PersInmormantate.DB", "Chitante.DB", "Unitatea.DB"}) {
            Table table(*m_db);
            table.setTableName(QString::fromLatin1(t));
            table.open();
            QVERIFY(table.isActive());
        }
        QCOMPARE(catalog.fieldDef(QStringLiteral("nume_uzufruct")).size, 50);
        QCOMPARE(catalog.fieldDef(QStringLiteral("Observatii")).type, FieldType::Text);
    }

    void tableFileNamesIgnoreCase() {
        Table t(*m_db);
        t.setTableName(QStringLiteral("PersInmormantate.db"));
        t.open();
        QCOMPARE(t.storedName(), QStringLiteral("PersInmormantate"));
        QVERIFY(t.hasField(QStringLiteral("SERIE_CD")));
        Table missing(*m_db);
        missing.setTableName(QStringLiteral("Lipsa.DB"));
        QVERIFY_THROWS_EXCEPTION(StoreError, missing.open());
        QVERIFY(!missing.isActive());
    }

    void textCutToSizeAndEmptyStoredAsNull() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        catalog.append();
        catalog.setValue(QStringLiteral("Id_Loc"), 1);
        catalog.setValue(QStringLiteral("Cimitir"), QString(40, QLatin1Char('x')));
        catalog.setValue(QStringLiteral("Sector"), QString());
        catalog.setValue(QStringLiteral("Rand"), QStringLiteral("   "));
        catalog.post();
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT length(Cimitir) FROM Catalog")).toInt(),
                 30);
        QVERIFY(rawValue(*m_db, QStringLiteral("SELECT Sector FROM Catalog")).isNull());
        // Only the empty text is null; blanks are kept as typed.
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT Rand FROM Catalog")).toString(),
                 QStringLiteral("   "));
    }

    void detailFollowsMasterAndLinkCanBeCut() {
        Table catalog(*m_db), conc(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        conc.setTableName(QStringLiteral("Concesionari.DB"));
        conc.setMasterLink(&catalog, {QStringLiteral("Id_Loc")});
        catalog.open();
        conc.open();
        addPlace(catalog, 1, QStringLiteral("1"));
        addDetail(conc, QStringLiteral("Nume_Uzufruct"), QStringLiteral("A1"));
        addDetail(conc, QStringLiteral("Nume_Uzufruct"), QStringLiteral("A2"));
        addPlace(catalog, 2, QStringLiteral("2"));
        QVERIFY(conc.isEmpty());
        // A detail row takes the current place's identifier from the link.
        addDetail(conc, QStringLiteral("Nume_Uzufruct"), QStringLiteral("B1"));
        QCOMPARE(conc.asFloat(QStringLiteral("Id_Loc")), 2.0);
        QVERIFY(catalog.locate(QStringLiteral("Id_Loc"), 1));
        QCOMPARE(conc.recordCount(), 2);
        QCOMPARE(conc.asString(QStringLiteral("Nume_Uzufruct")), QStringLiteral("A1"));

        conc.last();
        conc.setLinkEnabled(false);
        QCOMPARE(conc.recordCount(), 3);
        QCOMPARE(conc.asString(QStringLiteral("Nume_Uzufruct")),
                 QStringLiteral("A2")); // stays current
        conc.setLinkEnabled(true);
        QCOMPARE(conc.recordCount(), 2);
    }

    void indexChosenByNameOrdersTextAsText() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 1, QStringLiteral("9"));
        addPlace(catalog, 2, QStringLiteral("10"));
        addPlace(catalog, 3, QStringLiteral("A"));
        QString byLoc;
        for (const IndexDef& d : catalog.indexDefs())
            if (d.fields == QLatin1String("Loc;CNP_Uzufruct"))
                byLoc = d.name;
        QVERIFY(!byLoc.isEmpty());
        catalog.gotoBookmark(catalog.bookmark());
        catalog.setIndexName(byLoc);
        QStringList order;
        for (catalog.first(); !catalog.eof(); catalog.next())
            order << catalog.asString(QStringLiteral("Loc"));
        QCOMPARE(order,
                 (QStringList{QStringLiteral("10"), QStringLiteral("9"), QStringLiteral("A")}));
        QVERIFY_THROWS_EXCEPTION(StoreError, catalog.setIndexName(QStringLiteral("NoSuchIndex")));
    }

    void eventsRunInOrder() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.addCalcField(QStringLiteral("NrCrt"), FieldType::Number);
        QStringList log;
        catalog.onNewRecord = [&](Table& t) {
            log << QStringLiteral("new");
            t.setValue(QStringLiteral("Id_Loc"), 7);
        };
        catalog.afterScroll = [&](Table&) { log << QStringLiteral("scroll"); };
        catalog.onCalcFields = [](Table& t) { t.setValue(QStringLiteral("NrCrt"), t.recNo()); };
        QString seen;
        catalog.setValidator(QStringLiteral("CNP_Uzufruct"), [&](Table& t, const QString& f) {
            seen = t.asString(f); // the new value is readable during validation
            log << QStringLiteral("validate");
            if (seen == QLatin1String("bad"))
                throw StoreError(QStringLiteral("refuzat"));
        });
        catalog.open();
        log.clear();
        catalog.append();
        QCOMPARE(log, (QStringList{QStringLiteral("new"), QStringLiteral("scroll")}));
        QVERIFY(!catalog.modified()); // what onNewRecord set does not count as typed
        QCOMPARE(catalog.asFloat(QStringLiteral("Id_Loc")), 7.0);
        catalog.setValue(QStringLiteral("CNP_Uzufruct"), QStringLiteral("123"));
        QCOMPARE(seen, QStringLiteral("123"));
        QVERIFY_THROWS_EXCEPTION(
            StoreError, catalog.setValue(QStringLiteral("CNP_Uzufruct"), QStringLiteral("bad")));
        QCOMPARE(catalog.asString(QStringLiteral("CNP_Uzufruct")), QStringLiteral("123"));
        catalog.post();
        addPlace(catalog, 8, QStringLiteral("x"));
        QCOMPARE(catalog.valueAt(0, catalog.fieldIndex(QStringLiteral("NrCrt"))).toInt(), 1);
        QCOMPARE(catalog.valueAt(1, catalog.fieldIndex(QStringLiteral("NrCrt"))).toInt(), 2);

        // An untouched new row is dropped by moving away; a typed one is saved.
        catalog.append();
        catalog.first();
        QCOMPARE(catalog.recordCount(), 2);
    }

    void appendingWhileANewRowIsPendingGoesToTheEnd() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        catalog.append();
        catalog.setValue(QStringLiteral("Id_Loc"), 1);
        catalog.append(); // saves the first row, then starts one after it
        QCOMPARE(catalog.recordCount(), 1);
        QCOMPARE(catalog.currentRow(), 1);
        QVERIFY(catalog.isNewRow(1));
        QCOMPARE(catalog.valueAt(0, catalog.fieldIndex(QStringLiteral("Id_Loc"))).toInt(), 1);
        // Inserting goes before the current row, after a pending one is saved.
        catalog.setValue(QStringLiteral("Id_Loc"), 2);
        catalog.insert();
        QCOMPARE(catalog.currentRow(), 1);
        QCOMPARE(catalog.valueAt(2, catalog.fieldIndex(QStringLiteral("Id_Loc"))).toInt(), 2);
    }

    void silentAbortInBeforeDeleteKeepsTheRow() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 1, QStringLiteral("1"));
        catalog.beforeDelete = [](Table&) { throw Abort(); };
        QVERIFY_THROWS_EXCEPTION(Abort, catalog.remove());
        QCOMPARE(catalog.recordCount(), 1);
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT count(*) FROM Catalog")).toInt(), 1);

        // A declined deletion leaves the row's unsaved changes being edited.
        catalog.edit();
        catalog.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Ionescu"));
        QVERIFY_THROWS_EXCEPTION(Abort, catalog.remove());
        QCOMPARE(catalog.state(), TableState::Edit);
        QCOMPARE(catalog.asString(QStringLiteral("Nume_Uzufruct")), QStringLiteral("Ionescu"));
        catalog.post();
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT Nume_Uzufruct FROM Catalog")).toString(),
                 QStringLiteral("Ionescu"));
    }

    void failedDeleteUndoesWhatBeforeDeleteRemoved() {
        Table catalog(*m_db), chit(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        chit.setTableName(QStringLiteral("Chitante.DB"));
        chit.setMasterLink(&catalog, {QStringLiteral("Id_Loc")});
        catalog.open();
        chit.open();
        addPlace(catalog, 1, QStringLiteral("1"));
        for (int i = 1; i <= 3; ++i)
            addDetail(chit, QStringLiteral("Nr_chit"), i);
        catalog.beforeDelete = [&](Table&) {
            chit.first();
            chit.remove();
            chit.remove();
            throw StoreError(QStringLiteral("disc plin"));
        };
        QVERIFY_THROWS_EXCEPTION(StoreError, catalog.remove());
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT count(*) FROM Chitante")).toInt(), 3);
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT count(*) FROM Catalog")).toInt(), 1);
        chit.refresh();
        QCOMPARE(chit.recordCount(), 3);
    }

    void failedPostKeepsTheRowInEdit() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 1, QStringLiteral("1"));
        catalog.append();
        catalog.setValue(QStringLiteral("Id_Loc"), 1); // the identifier is unique
        QVERIFY_THROWS_EXCEPTION(StoreError, catalog.post());
        QCOMPARE(catalog.state(), TableState::Insert);
        catalog.setValue(QStringLiteral("Id_Loc"), 2);
        catalog.post();
        QCOMPARE(catalog.recordCount(), 2);
    }

    void queryParamsLinesAndAggregates() {
        Query q(*m_db);
        q.setSql({QStringLiteral("SELECT MAX(Id_Loc) As Counter"),
                  QStringLiteral("FROM \"Catalog.DB\"")});
        q.open();
        QVERIFY(q.isNull(QStringLiteral("Counter")));
        QCOMPARE(q.asFloat(QStringLiteral("counter")), 0.0); // null read as 0

        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 4, QStringLiteral("1"), QStringLiteral("O'Brien \"X\""));
        Query count(*m_db);
        count.setSql({QStringLiteral("SELECT COUNT(*) AS ValCount"),
                      QStringLiteral("FROM \"Catalog.DB\" "), QStringLiteral("WHERE"),
                      QStringLiteral("(Nume_Uzufruct = :Nume)")});
        count.setParam(QStringLiteral("Nume"), QStringLiteral("O'Brien \"X\""));
        count.open();
        QCOMPARE(count.asInteger(QStringLiteral("ValCount")), 1);
        count.setLine(3, QStringLiteral("(Loc = '2')"));
        count.open();
        QCOMPARE(count.asInteger(QStringLiteral("ValCount")), 0);
        Query missing(*m_db);
        missing.setSql({QStringLiteral("SELECT * FROM \"Catalog.DB\" WHERE Loc = :L")});
        QVERIFY_THROWS_EXCEPTION(StoreError, missing.open());
    }

    void queryRowsKeepTheirKindsAndColumnsShowWithoutRows() {
        Query none(*m_db);
        none.setSql({QStringLiteral("SELECT Cimitir, Sector AS \"Sec\", COUNT(*) AS N"),
                     QStringLiteral("FROM \"Catalog.DB\" WHERE Id_Loc = :Id GROUP BY Cimitir")});
        none.setParam(QStringLiteral("Id"), 1);
        none.open();
        QVERIFY(none.isActive());
        QVERIFY(none.isEmpty());
        QVERIFY(none.eof());
        QCOMPARE(none.fieldNames(), QStringList({QStringLiteral("Cimitir"), QStringLiteral("Sec"),
                                                 QStringLiteral("N")}));
        QVERIFY(none.value(QStringLiteral("sec")).isNull());
        QVERIFY_THROWS_EXCEPTION(StoreError, none.value(QStringLiteral("Parcela")));

        Query kinds(*m_db);
        kinds.setSql({QStringLiteral("SELECT 7 AS I, 2.5 AS R, 'Ștefan \"Sf.\"' AS T, NULL AS N,"),
                      QStringLiteral(" x'00ff' AS B, '' AS E")});
        kinds.open();
        QCOMPARE(kinds.recordCount(), 1);
        QCOMPARE(kinds.value(QStringLiteral("I")).typeId(), int(QMetaType::LongLong));
        QCOMPARE(kinds.value(QStringLiteral("I")).toLongLong(), 7);
        QCOMPARE(kinds.value(QStringLiteral("R")).typeId(), int(QMetaType::Double));
        QCOMPARE(kinds.value(QStringLiteral("R")).toDouble(), 2.5);
        QCOMPARE(kinds.value(QStringLiteral("T")), QVariant(QStringLiteral("Ștefan \"Sf.\"")));
        QVERIFY(!kinds.value(QStringLiteral("N")).isValid());
        QCOMPARE(kinds.value(QStringLiteral("B")), QVariant(QByteArray("\x00\xff", 2)));
        QCOMPARE(kinds.value(QStringLiteral("E")).typeId(), int(QMetaType::QString));
        QVERIFY(!kinds.isNull(QStringLiteral("E"))); // empty text is not NULL
        // By column, as the report rows read them.
        QCOMPARE(kinds.fieldCount(), 6);
        QCOMPARE(kinds.value(2), kinds.value(QStringLiteral("T")));
        QVERIFY(!kinds.value(6).isValid());
        QVERIFY(!kinds.value(-1).isValid());

        // Texts repeated from row to row, then changed in one byte, emptied,
        // missing and back: each row keeps its own value.
        Query rows(*m_db);
        rows.setSql({QStringLiteral("SELECT column2 AS T FROM (VALUES (1, 'ab'), (2, 'ab'),"),
                     QStringLiteral(" (3, 'ac'), (4, ''), (5, NULL), (6, ''), (7, 'ab'))"),
                     QStringLiteral("ORDER BY column1")});
        rows.open();
        QStringList seen;
        for (rows.first(); !rows.eof(); rows.next())
            seen << (rows.isNull(QStringLiteral("T"))
                         ? QStringLiteral("<null>")
                         : QLatin1Char('[') + rows.asString(QStringLiteral("T")) +
                               QLatin1Char(']'));
        QCOMPARE(seen, QStringList({QStringLiteral("[ab]"), QStringLiteral("[ab]"),
                                    QStringLiteral("[ac]"), QStringLiteral("[]"),
                                    QStringLiteral("<null>"), QStringLiteral("[]"),
                                    QStringLiteral("[ab]")}));
        QCOMPARE(rows.recNo(), 7);
    }

    void queryBindsEachKindAndRefusesWhatItCannotRun() {
        Query q(*m_db);
        q.setSql({QStringLiteral("SELECT :Missing IS NULL AS NullText, :Empty = '' AS EmptyText,"),
                  QStringLiteral(" :Day AS Day, :NoDay IS NULL AS NoDay, :Yes AS Yes,"),
                  QStringLiteral(" typeof(:Real) AS RealKind, typeof(:Whole) AS WholeKind,"),
                  QStringLiteral(" :Quoted AS Quoted, '11:30' AS Literal")});
        q.setParam(QStringLiteral("Missing"), QString());
        q.setParam(QStringLiteral("Empty"), QStringLiteral(""));
        q.setParam(QStringLiteral("Day"), QDate(2025, 6, 30));
        q.setParam(QStringLiteral("NoDay"), QDate());
        q.setParam(QStringLiteral("Yes"), true);
        q.setParam(QStringLiteral("Real"), 2.5);
        q.setParam(QStringLiteral("Whole"), 3);
        q.setParam(QStringLiteral("Quoted"), QStringLiteral("x\")) OR 1=1 --"));
        q.open();
        QCOMPARE(q.asInteger(QStringLiteral("NullText")), 1);
        QCOMPARE(q.asInteger(QStringLiteral("EmptyText")), 1);
        QCOMPARE(q.asString(QStringLiteral("Day")), QStringLiteral("2025-06-30"));
        QCOMPARE(q.asInteger(QStringLiteral("NoDay")), 1);
        QCOMPARE(q.value(QStringLiteral("Yes")), QVariant(qlonglong(1)));
        QCOMPARE(q.asString(QStringLiteral("RealKind")), QStringLiteral("real"));
        QCOMPARE(q.asString(QStringLiteral("WholeKind")), QStringLiteral("integer"));
        QCOMPARE(q.asString(QStringLiteral("Quoted")), QStringLiteral("x\")) OR 1=1 --"));
        QCOMPARE(q.asString(QStringLiteral("Literal")), QStringLiteral("11:30"));

        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 1, QStringLiteral("1"));
        auto refused = [&](const QStringList& sql, const QString& storeText) {
            Query bad(*m_db);
            bad.setSql(sql);
            try {
                bad.open();
            } catch (const StoreError& e) {
                if (!e.message().contains(storeText))
                    qWarning() << "message" << e.message();
                return e.message().contains(storeText) && !bad.isActive();
            }
            return false;
        };
        QVERIFY(refused({QStringLiteral("SELECT Nimic FROM \"Catalog.DB\"")},
                        QStringLiteral("no such column: Nimic")));
        // A failure while stepping, after the statement was prepared.
        QVERIFY(refused({QStringLiteral("SELECT abs(-9223372036854775807 - 1)")},
                        QStringLiteral("integer overflow")));
        // Nothing after the first statement may run unseen.
        QVERIFY(refused({QStringLiteral("SELECT 1;"), QStringLiteral("DELETE FROM \"Catalog.DB\"")},
                        QStringLiteral("o singura instructiune")));
        QVERIFY(refused({QStringLiteral("SELECT * FROM \"Catalog.DB\" WHERE Loc = ?")},
                        QStringLiteral("parametrilor")));
        QVERIFY(refused({QStringLiteral("  ")}, QStringLiteral("nicio instructiune")));
        catalog.refresh();
        QCOMPARE(catalog.recordCount(), 1);

        // A statement run for its effect leaves no open result, and tables
        // holding rows read before it see the change.
        Query del(*m_db);
        del.setSql({QStringLiteral("DELETE FROM \"Catalog.DB\" WHERE Id_Loc = :Id")});
        del.setParam(QStringLiteral("Id"), 1);
        del.exec();
        QVERIFY(!del.isActive());
        catalog.refresh();
        QCOMPARE(catalog.recordCount(), 0);
    }

    void alterTableAddsAFieldKeepingRows() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 1, QStringLiteral("1"));
        catalog.close();
        Query alter(*m_db);
        alter.setSql({QStringLiteral("Alter Table \"Catalog.DB\" ADD Extra CHAR(5)")});
        alter.exec();
        catalog.open();
        QCOMPARE(catalog.fieldDef(QStringLiteral("extra")).size, 5);
        QCOMPARE(catalog.recordCount(), 1);
        QVERIFY(catalog.isNull(QStringLiteral("Extra")));
        alter.setSql({QStringLiteral("Alter Table \"Catalog.DB\" ADD Extra CHAR(5)")});
        QVERIFY_THROWS_EXCEPTION(StoreError, alter.exec());
    }

    void damagedFilesAreNeverOverwritten() {
        m_db.reset();
        const QString path = m_dir.file(QStringLiteral("Tombrix.sqlite"));
        QFile::remove(path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        const QByteArray junk("This is not a database, just a text file.\n");
        f.write(junk);
        f.close();
        Database db(path);
        QVERIFY_THROWS_EXCEPTION(StoreError, db.open());
        QVERIFY(!db.isOpen());
        QFile back(path);
        QVERIFY(back.open(QIODevice::ReadOnly));
        QCOMPARE(back.readAll(), junk);

        // A program directory that cannot hold the file: a clear error, no file.
        Database nowhere(m_dir.file(QStringLiteral("missing/dir/Tombrix.sqlite")));
        QVERIFY_THROWS_EXCEPTION(StoreError, nowhere.open());
        QVERIFY(!QFile::exists(m_dir.file(QStringLiteral("missing/dir/Tombrix.sqlite"))));
    }

    void keptRowsGiveBackEveryKindOfValueAsStored() {
        // Values kept in memory after a save, and read again from the file
        // by a second table, must be the same: texts of every length and
        // alphabet, numbers whole and not, logicals, dates, empty fields.
        Table hist(*m_db);
        hist.setTableName(QStringLiteral("Concesionari.DB"));
        hist.open();
        const QString memo = QString(200, QLatin1Char('m')) + QStringLiteral("ăîșțâ😀") +
                             QString(20000, QLatin1Char('z'));
        hist.append();
        hist.setValue(QStringLiteral("Id_Loc"), 4);
        hist.setValue(QStringLiteral("Nr_concesiune"), -2.5);
        hist.setValue(QStringLiteral("Data_concesiune"), QDate(2024, 2, 29));
        hist.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Ştefănescu Ţugui"));
        hist.setValue(QStringLiteral("Etaj"), 0);
        hist.setValue(QStringLiteral("Scutit_concesiune"), true);
        hist.setValue(QStringLiteral("Explicatie"), memo);
        hist.setValue(QStringLiteral("Nr_ani_concesiune"), 99);
        hist.post();
        m_db->exec(QStringLiteral("INSERT INTO Concesionari (Id_Loc, Nr_concesiune, Etaj, "
                                  "Nume_Uzufruct) VALUES (5, 7, 3.25, 'Ionescu')"));

        Table again(*m_db);
        again.setTableName(QStringLiteral("Concesionari.DB"));
        again.open();
        QCOMPARE(again.recordCount(), 2);
        for (Table* t : {&hist, &again}) {
            QVERIFY(t->locate(QStringLiteral("Id_Loc"), 4));
            QCOMPARE(t->value(QStringLiteral("Id_Loc")), QVariant(4.0));
            QCOMPARE(t->value(QStringLiteral("Nr_concesiune")), QVariant(-2.5));
            QCOMPARE(t->value(QStringLiteral("Data_concesiune")), QVariant(QDate(2024, 2, 29)));
            QCOMPARE(t->value(QStringLiteral("Nume_Uzufruct")).toString(),
                     QStringLiteral("Ştefănescu Ţugui"));
            QCOMPARE(t->value(QStringLiteral("Etaj")), QVariant(0.0));
            QVERIFY(t->value(QStringLiteral("Apartament")).isNull());
            QVERIFY(t->value(QStringLiteral("Strada")).isNull());
            QCOMPARE(t->value(QStringLiteral("Scutit_concesiune")), QVariant(true));
            QCOMPARE(t->value(QStringLiteral("Explicatie")).toString(), memo);
            QCOMPARE(t->value(QStringLiteral("Nr_ani_concesiune")), QVariant(99));
            QCOMPARE(t->storedText(t->fieldIndex(QStringLiteral("Data_concesiune"))),
                     QStringLiteral("2024-02-29"));
        }
        // A whole number stored in a number field reads as a number; the
        // order by a text field sees the texts.
        QVERIFY(again.locate(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Ionescu")));
        QCOMPARE(again.value(QStringLiteral("Nr_concesiune")), QVariant(7.0));
        QCOMPARE(again.value(QStringLiteral("Etaj")), QVariant(3.25));
        QCOMPARE(again.storedText(again.fieldIndex(QStringLiteral("Nume_Uzufruct"))),
                 QStringLiteral("Ionescu"));
        // An edit starts from the kept values and changes only what is set.
        again.edit();
        again.setValue(QStringLiteral("Strada"), QStringLiteral("Lungă"));
        again.post();
        QCOMPARE(again.value(QStringLiteral("Nume_Uzufruct")).toString(),
                 QStringLiteral("Ionescu"));
        QCOMPARE(rawValue(*m_db, QStringLiteral("SELECT Strada || '/' || Etaj FROM Concesionari "
                                                "WHERE Id_Loc = 5")),
                 QVariant(QStringLiteral("Lungă/3.25")));
    }

    void aRegisterThatCannotBeWrittenIsFoundAtOpenAndRefusesChanges() {
        Table catalog(*m_db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        addPlace(catalog, 1, QStringLiteral("7"), QStringLiteral("Popescu"));
        catalog.close();
        // The probe leaves a writable register as it was.
        QVERIFY(m_db->writable());
        QVERIFY(m_db->readOnlyReason().isEmpty());
        const QVariant version = rawValue(*m_db, QStringLiteral("PRAGMA user_version"));
        m_db.reset();
        QVERIFY(!QFile::exists(m_dir.file(QStringLiteral("Tombrix.sqlite-journal"))));

        Database::setOpenReadOnly(true);
        struct Restore {
            ~Restore() { Database::setOpenReadOnly(false); }
        } restore;
        Database db(m_dir.file(QStringLiteral("Tombrix.sqlite")));
        db.open();
        QVERIFY(!db.writable());
        QVERIFY2(db.readOnlyReason().contains(QStringLiteral("nu poate fi scrisa")),
                 qPrintable(db.readOnlyReason()));
        QVERIFY2(db.readOnlyReason().contains(QStringLiteral("numai pentru citire")),
                 qPrintable(db.readOnlyReason()));
        QCOMPARE(rawValue(db, QStringLiteral("PRAGMA user_version")), version);

        // Reading works; every change is refused before anything is typed.
        Table places(db);
        places.setTableName(QStringLiteral("Catalog.DB"));
        places.open();
        QCOMPARE(places.recordCount(), 1);
        QCOMPARE(places.value(QStringLiteral("Nume_Uzufruct")).toString(),
                 QStringLiteral("Popescu"));
        const auto refusedWithTheReason = [&](const std::function<void()>& change) {
            try {
                change();
            } catch (const StoreError& e) {
                return e.message() == db.readOnlyReason();
            }
            return false;
        };
        QVERIFY(refusedWithTheReason([&] { places.edit(); }));
        QVERIFY(refusedWithTheReason([&] { places.append(); }));
        QVERIFY(refusedWithTheReason([&] { places.insert(); }));
        QVERIFY(refusedWithTheReason([&] { places.remove(); }));
        QCOMPARE(places.state(), TableState::Browse);
        QCOMPARE(places.recordCount(), 1);
    }

    void writesOfAnotherHandleAreSeenOnRefresh() {
        Table a(*m_db), b(*m_db);
        a.setTableName(QStringLiteral("Catalog.DB"));
        b.setTableName(QStringLiteral("catalog.db"));
        a.open();
        b.open();
        addPlace(a, 1, QStringLiteral("1"));
        QCOMPARE(b.recordCount(), 0);
        b.refresh();
        QCOMPARE(b.recordCount(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
