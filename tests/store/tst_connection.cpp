// The door to the database: one bind rule for every value kind, reads by
// column, each failure sorted into its kind, and savepoints that undo only
// their own part.
#include "Database.h"
#include "PackedRow.h"
#include "SqliteConnection.h"
#include "Statement.h"
#include "StoreError.h"
#include "TestSupport.h"

#include <QFile>
#include <QtTest>

class TestConnection : public QObject {
    Q_OBJECT

    TempProgramDir m_dir;

    QString file(const char* name) const { return m_dir.file(QLatin1String(name)); }

private slots:
    void everyKindIsBoundByOneRuleAndReadBack() {
        SqliteConnection db(file("kinds.sqlite"), SqliteConnection::Mode::Create);
        Statement st(
            db, QStringLiteral("SELECT typeof(?1), ?1, typeof(?2), ?2, typeof(?3), ?3, typeof(?4), "
                               "?4, typeof(?5), ?5, typeof(?6), ?6, typeof(?7), ?7, typeof(?8), "
                               "typeof(?9), typeof(:named), :named"));
        QCOMPARE(st.parameterCount(), 10);
        st.bindAll({QVariant(true), QVariant(qint64(1) << 40), QVariant(2.5),
                    QVariant(QStringLiteral("Ștefan Țăranu")), QVariant(QDate(2024, 3, 5)),
                    QVariant(QByteArray("\0\1\2", 3)), QVariant(7u), QVariant(QString()),
                    QVariant(QDate()), QVariant(QStringLiteral("nume"))});
        QVERIFY(st.step());
        const QStringList kinds = {st.text(0),  st.text(2),  st.text(4),  st.text(6), st.text(8),
                                   st.text(10), st.text(12), st.text(14), st.text(15)};
        // Booleans and every integer type are integers; a null text and an
        // invalid date are NULL.
        QCOMPARE(kinds, QStringList({"integer", "integer", "real", "text", "text", "blob",
                                     "integer", "null", "null"}));
        QCOMPARE(st.value(1), QVariant(qlonglong(1)));
        QCOMPARE(st.value(3), QVariant(qlonglong(1) << 40));
        QCOMPARE(st.value(5), QVariant(2.5));
        QCOMPARE(st.value(7), QVariant(QStringLiteral("Ștefan Țăranu")));
        QCOMPARE(st.value(9), QVariant(QStringLiteral("2024-03-05")));
        QCOMPARE(st.value(11), QVariant(QByteArray("\0\1\2", 3)));
        QCOMPARE(st.kind(13), ColumnKind::Integer);
        QCOMPARE(st.text(16), QStringLiteral("text"));
        QCOMPARE(st.value(17), QVariant(QStringLiteral("nume")));
        QVERIFY(!st.step());

        // By name, with or without the colon; an unknown name is refused.
        Statement named(db, QStringLiteral("SELECT :a || :b"));
        named.bind(QStringLiteral(":a"), QStringLiteral("x"));
        named.bind(QStringLiteral("b"), 1);
        QVERIFY(named.step());
        QCOMPARE(named.text(0), QStringLiteral("x1"));
        QVERIFY_THROWS_EXCEPTION(StoreError, named.bind(QStringLiteral("c"), 1));
        // Two statements in one text would run only the first: refused.
        QVERIFY_THROWS_EXCEPTION(StoreError, Statement(db, QStringLiteral("SELECT 1; SELECT 2")));
    }

    void eachFailureIsSortedIntoItsKind() {
        const QString path = file("failures.sqlite");
        QFile::remove(path);
        SqliteConnection db(path, SqliteConnection::Mode::Create, 0);
        db.execute(QStringLiteral("CREATE TABLE t (k INTEGER UNIQUE, v TEXT)"));
        db.execute(QStringLiteral("INSERT INTO t VALUES (1, 'a')"));

        QCOMPARE(
            failureKindOf([&] { db.execute(QStringLiteral("INSERT INTO t VALUES (1, 'b')")); }),
            FailureKind::Constraint);
        QCOMPARE(failureKindOf([&] { Statement(db, QStringLiteral("SELEC 1")); }),
                 FailureKind::Other);
        {
            SqliteConnection reader(path, SqliteConnection::Mode::ReadOnly);
            QCOMPARE(failureKindOf([&] { reader.execute(QStringLiteral("DELETE FROM t")); }),
                     FailureKind::ReadOnly);
        }
        {
            SqliteConnection other(path, SqliteConnection::Mode::ReadWrite, 0);
            other.execute(QStringLiteral("BEGIN EXCLUSIVE"));
            QCOMPARE(failureKindOf([&] { db.execute(QStringLiteral("DELETE FROM t")); }),
                     FailureKind::Locked);
            other.execute(QStringLiteral("ROLLBACK"));
        }
        const qint64 pages = scalarOf(db, QStringLiteral("PRAGMA page_count"));
        db.execute(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
        QCOMPARE(failureKindOf([&] {
                     Statement ins(db, QStringLiteral("INSERT INTO t VALUES (?, ?)"));
                     for (int i = 2; i < 200; ++i) {
                         ins.bindAll({i, QString(2000, QLatin1Char('z'))});
                         ins.run();
                         ins.reset();
                     }
                 }),
                 FailureKind::Full);
        QCOMPARE(failureKindOf([&] {
                     SqliteConnection(file("nu/exista/x.sqlite"), SqliteConnection::Mode::Create);
                 }),
                 FailureKind::IO);

        QFile junk(file("junk.sqlite"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(8192, 'x'));
        junk.close();
        SqliteConnection damaged(junk.fileName(), SqliteConnection::Mode::ReadWrite);
        StoreError failure(QString{});
        try {
            Statement(damaged, QStringLiteral("SELECT count(*) FROM sqlite_master")).run();
        } catch (const StoreError& e) {
            failure = e;
        }
        QCOMPARE(failure.kind(), FailureKind::Damaged);
        // One wording per kind, the engine's text kept after it.
        QVERIFY2(failure.message().contains(QStringLiteral("este deteriorata")) &&
                     failure.message().endsWith(QLatin1Char('<') + failure.storeText() +
                                                QLatin1Char('>')),
                 qPrintable(failure.message()));
    }

    void aFailedSavepointUndoesOnlyItsOwnPart() {
        Database db(file("nested.sqlite"));
        db.open();
        db.exec(QStringLiteral("CREATE TABLE n (v INTEGER UNIQUE)"));
        const auto values = [&] {
            return rowsOf(db, QStringLiteral("SELECT v FROM n ORDER BY v"));
        };
        {
            Transaction outer(db);
            db.exec(QStringLiteral("INSERT INTO n VALUES (?)"), {1});
            try {
                Transaction inner(db);
                db.exec(QStringLiteral("INSERT INTO n VALUES (?)"), {2});
                QCOMPARE(db.transactionDepth(), 2);
                db.exec(QStringLiteral("INSERT INTO n VALUES (?)"), {1}); // refused
                inner.commit();
            } catch (const StoreError& e) {
                QCOMPARE(e.kind(), FailureKind::Constraint);
            }
            QCOMPARE(db.transactionDepth(), 1);
            QCOMPARE(values(), QStringList({"1"}));
            db.exec(QStringLiteral("INSERT INTO n VALUES (?)"), {3});
            outer.commit();
        }
        QCOMPARE(values(), QStringList({"1", "3"}));
        {
            Transaction outer(db);
            db.exec(QStringLiteral("INSERT INTO n VALUES (?)"), {4});
            Transaction inner(db);
            db.exec(QStringLiteral("INSERT INTO n VALUES (?)"), {5});
            inner.commit();
            // The outer one is never committed: both go.
        }
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(values(), QStringList({"1", "3"}));
    }

    void packedRowsGiveBackWhatWasPacked() {
        const QString longText = QStringLiteral("ă").repeated(300); // a two-byte length
        const QVector<QVariant> values = {
            QVariant(),         QVariant(qlonglong(-7)),      QVariant(0.1), QVariant(QString()),
            QVariant(longText), QVariant(QStringLiteral("")), QVariant(true)};
        const QByteArray block = PackedRow::pack(values, int(values.size()));
        const QVector<QVariant> back = PackedRow::unpack(block, int(values.size()));
        QVERIFY(back.at(0).isNull());
        QCOMPARE(back.at(1), QVariant(qlonglong(-7)));
        QCOMPARE(back.at(2), QVariant(0.1));
        QVERIFY(back.at(3).isNull());
        QCOMPARE(back.at(4), QVariant(longText));
        QCOMPARE(back.at(5), QVariant(QString()));
        QCOMPARE(back.at(6), QVariant(qlonglong(1)));
        // Past the end, and in a block cut short, a field reads as NULL
        // instead of reading past the block.
        QVERIFY(PackedRow::toVariant(PackedRow::at(block, 9)).isNull());
        const QByteArray cut = block.left(block.indexOf(longText.toUtf8()) + 10);
        QVERIFY(PackedRow::toVariant(PackedRow::at(cut, 4)).isNull());

        // A column read from a statement packs the same way.
        SqliteConnection db(file("packed.sqlite"), SqliteConnection::Mode::Create);
        Statement st(db, QStringLiteral("SELECT 5, 5, 'x', NULL"));
        QVERIFY(st.step());
        QByteArray fromColumns;
        PackedRow::putColumn(fromColumns, st, 0, true);
        PackedRow::putColumn(fromColumns, st, 1, false);
        PackedRow::putColumn(fromColumns, st, 2, false);
        PackedRow::putColumn(fromColumns, st, 3, false);
        QCOMPARE(PackedRow::unpack(fromColumns, 4),
                 QVector<QVariant>({QVariant(5.0), QVariant(qlonglong(5)),
                                    QVariant(QStringLiteral("x")), QVariant()}));
    }
};

QTEST_GUILESS_MAIN(TestConnection)
#include "tst_connection.moc"
