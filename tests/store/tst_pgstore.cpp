// The register on a PostgreSQL server: the door's second implementation
// under the same data set, on a throwaway server the test starts itself.
#include "Database.h"
#include "PgConnection.h"
#include "PgServer.h"
#include "Query.h"
#include "Statement.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"
#include "Upgrade.h"

#include <QtTest>

class TestPgStore : public QObject {
    Q_OBJECT

    std::unique_ptr<PgServer> m_server;
    int m_serial = 0;

    QString freshDatabase() { return m_server->newDatabase(QStringLiteral("r%1").arg(++m_serial)); }

private slots:
    void initTestCase() {
        m_server = std::make_unique<PgServer>();
        if (!m_server->isRunning())
            QSKIP(qPrintable(QStringLiteral("no test server: ") + m_server->why()));
    }

    void parametersAreNumberedForTheServerOutsideLiterals() {
        QStringList names;
        QCOMPARE(
            PgConnection::numberParameters(
                QStringLiteral("SELECT ? , '?:x', \"a?\" WHERE x = :Cnp OR y = :cnp AND z = ?"),
                &names),
            QStringLiteral("SELECT $1 , '?:x', \"a?\" WHERE x = $2 OR y = $2 AND z = $3"));
        QCOMPARE(names, QStringList({QString(), QStringLiteral("Cnp"), QString()}));
        QCOMPARE(PgConnection::numberParameters(QStringLiteral("SELECT ?2, ?1, x::text"), &names),
                 QStringLiteral("SELECT $2, $1, x::text"));
        // The register's names written bare keep their case on the server.
        QCOMPARE(PgConnection::numberParameters(
                     QStringLiteral("SELECT MAX(Id_Loc) AS Counter, 1e5 FROM Catalog AS c WHERE "
                                    "c.cnp_uzufruct = :Cnp_uzufruct AND 'Loc' = \"Loc\""),
                     &names),
                 QStringLiteral("SELECT MAX(\"Id_Loc\") AS Counter, 1e5 FROM \"Catalog\" AS c "
                                "WHERE c.\"CNP_Uzufruct\" = $1 AND 'Loc' = \"Loc\""));
        // NULL sorts first, as on the file, unless the SQL says otherwise.
        QCOMPARE(
            PgConnection::numberParameters(
                QStringLiteral("SELECT (SELECT x FROM t ORDER BY a DESC LIMIT 1) FROM u "
                               "ORDER BY lower(b), c NULLS LAST, d DESC"),
                &names),
            QStringLiteral("SELECT (SELECT x FROM t ORDER BY a DESC NULLS LAST LIMIT 1) FROM "
                           "u ORDER BY lower(b) NULLS FIRST, c NULLS LAST, d DESC NULLS LAST"));
        // Result columns are named as written after AS.
        QHash<QString, QString> aliases;
        PgConnection::numberParameters(QStringLiteral("SELECT CAST(x AS integer) AS DataCon"),
                                       &names, &aliases);
        QCOMPARE(aliases,
                 (QHash<QString, QString>{{QStringLiteral("datacon"), QStringLiteral("DataCon")}}));
    }

    void everyKindIsBoundAndReadBackAsOnTheFile() {
        PgConnection db(freshDatabase());
        Statement st(db, QStringLiteral("SELECT ?, ?, ?, ?, ?::date, ?, ?"));
        st.bindAll({QVariant(true), QVariant(qint64(1) << 40), QVariant(0.1),
                    QVariant(QStringLiteral("Ștefan Țăranu")), QVariant(QDate(2024, 3, 5)),
                    QVariant(QString()), QVariant(QByteArray("\0\1\2", 3))});
        QVERIFY(st.step());
        QCOMPARE(st.value(0), QVariant(qlonglong(1)));
        QCOMPARE(st.value(1), QVariant(qlonglong(1) << 40));
        QCOMPARE(st.value(2), QVariant(0.1));
        QCOMPARE(st.value(3), QVariant(QStringLiteral("Ștefan Țăranu")));
        QCOMPARE(st.value(4), QVariant(QStringLiteral("2024-03-05")));
        QVERIFY(st.isNull(5));
        QCOMPARE(st.value(6), QVariant(QByteArray("\0\1\2", 3)));
        QVERIFY(!st.step());
    }

    void failuresAreSortedIntoTheSameKinds() {
        PgConnection db(freshDatabase());
        db.execute(QStringLiteral("CREATE TABLE t (k INTEGER UNIQUE)"));
        db.execute(QStringLiteral("INSERT INTO t VALUES (1)"));
        QCOMPARE(failureKindOf([&] { db.execute(QStringLiteral("INSERT INTO t VALUES (1)")); }),
                 FailureKind::Constraint);
        QCOMPARE(failureKindOf([&] { Statement(db, QStringLiteral("SELEC 1")).run(); }),
                 FailureKind::Other);
        db.execute(QStringLiteral("SET default_transaction_read_only = on"));
        QCOMPARE(failureKindOf([&] { db.execute(QStringLiteral("DELETE FROM t")); }),
                 FailureKind::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(StoreError,
                                 PgConnection(m_server->conninfo(QStringLiteral("nu_exista"))));
        // The server ends the clerk's session: the next statement says the
        // connection is lost.
        PgConnection other(m_server->conninfo(QStringLiteral("postgres")));
        Statement pid(db, QStringLiteral("SELECT pg_backend_pid()"));
        QVERIFY(pid.step());
        Statement kill(other, QStringLiteral("SELECT pg_terminate_backend(?::int)"));
        kill.bind(1, pid.integer(0));
        kill.run();
        QCOMPARE(failureKindOf([&] { Statement(db, QStringLiteral("SELECT 1")).run(); }),
                 FailureKind::ConnectionLost);
        // The server is still there: the next statement connects again.
        Statement again(db, QStringLiteral("SELECT 2"));
        QVERIFY(again.step());
        QCOMPARE(again.integer(0), 2);
    }

    void connectionFailuresAreToldInRomanianNamingServerAndDatabase() {
        const auto messageOf = [](const QString& conninfo) {
            try {
                PgConnection c(conninfo);
            } catch (const StoreError& e) {
                return e.message();
            }
            return QString();
        };
        QVERIFY(messageOf(m_server->conninfo(QStringLiteral("nu_exista")))
                    .startsWith(QStringLiteral("Baza de date nu_exista nu exista pe serverul "
                                               "local.")));
        QVERIFY(messageOf(m_server->conninfoAs(QStringLiteral("postgres"), QStringLiteral("ghost")))
                    .startsWith(QStringLiteral("Utilizatorul ghost nu este cunoscut de serverul "
                                               "local (baza de date postgres)")));
        QTemporaryDir nowhere;
        QVERIFY(messageOf(
                    QStringLiteral("host=%1 dbname=tombrix connect_timeout=2").arg(nowhere.path()))
                    .startsWith(QStringLiteral("Serverul local nu poate fi contactat (baza de "
                                               "date tombrix)")));
    }

    void aPasswordIsAskedWhenLibpqHasNone() {
        qputenv("PGPASSFILE", QByteArray("/nonexistent/pgpass")); // not the tester's own
        QVERIFY(m_server->addPasswordUser(QStringLiteral("ana"), QStringLiteral("tainic")));
        const QString conninfo =
            m_server->conninfoAs(QStringLiteral("postgres"), QStringLiteral("ana"));
        // No one to ask (a list made on a schedule): refused, in Romanian.
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                try {
                    PgConnection c(conninfo);
                } catch (const StoreError& e) {
                    return e.message().startsWith(
                        QStringLiteral("Parola utilizatorului ana nu a fost primita"));
                }
                return false;
            }(),
            5000);
        QList<bool> asked;
        QStringList answers = {QStringLiteral("gresit"), QStringLiteral("tainic")};
        PgConnection::setPasswordPrompt([&](const QString& where, const QString& user, bool again) {
            asked << again;
            if (user != QLatin1String("ana") || !where.contains(QStringLiteral("postgres")))
                return QString();
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
        {
            PgConnection c(conninfo); // a wrong password first, then the right one
            QCOMPARE(asked, QList<bool>({false, true}));
            QVERIFY(Statement(c, QStringLiteral("SELECT 1")).step());
        }
        // Giving up is a refusal, not a hang.
        asked.clear();
        QVERIFY_THROWS_EXCEPTION(StoreError, PgConnection{conninfo});
        QCOMPARE(asked.size(), 1);
        PgConnection::setPasswordPrompt({});
    }

    void aUserWhoMayOnlyReadOpensTheRegisterForReading() {
        const QString conninfo = freshDatabase();
        {
            Database owner(QString(), conninfo);
            owner.open();
        }
        const QString name = conninfo.section(QStringLiteral("dbname="), 1).section(' ', 0, 0);
        m_server->addReader(QStringLiteral("cititor"), name);
        Database reader(QString(), m_server->conninfoAs(name, QStringLiteral("cititor")));
        reader.open();
        QVERIFY(!reader.writable());
        QVERIFY(reader.readOnlyReason().contains(QStringLiteral("numai pentru citire")));
    }

    // A grid's unread rows come a screenful at a time, not a statement each:
    // a row near one shown was read with it (a later change elsewhere is not
    // seen until the table is read again).
    void unreadRowsAreReadAScreenfulAtATime() {
        const QString conninfo = freshDatabase();
        Database db(QString(), conninfo), other(QString(), conninfo);
        db.open();
        other.open();
        for (int i = 1; i <= 200; ++i)
            db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Loc) VALUES (?, ?)"),
                    {i, QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'))});
        Table catalog(db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        const int loc = catalog.fieldIndex(QStringLiteral("Loc"));
        QCOMPARE(catalog.valueAt(100, loc).toString(), QStringLiteral("L101"));
        other.exec(QStringLiteral("UPDATE Catalog SET Loc = 'nou' WHERE Id_Loc IN (121, 181)"));
        QCOMPARE(catalog.valueAt(120, loc).toString(), QStringLiteral("L121")); // read with 101
        QCOMPARE(catalog.valueAt(180, loc).toString(),
                 QStringLiteral("nou")); // beyond the screenful
    }

    // A field the upgrade adds holds texts as typed, without blanks after.
    void theUpgradeAddsTextsUnpadded() {
        Database db(QString(), freshDatabase());
        db.open();
        db.exec(QStringLiteral("ALTER TABLE PersInmormantate DROP COLUMN Serie_CD"));
        SchemaUpgrade(db, {}).run();
        db.exec(QStringLiteral("INSERT INTO PersInmormantate (Id_Loc, Serie_CD) VALUES (1, 'AB')"));
        QCOMPARE(valueOf(db, QStringLiteral("SELECT Serie_CD || '|' FROM PersInmormantate")),
                 QVariant(QStringLiteral("AB|")));
    }

    void otherClerksSavesAreHeardOwnAreNot() {
        const QString conninfo = freshDatabase();
        Database ana(QString(), conninfo), dan(QString(), conninfo);
        ana.open();
        dan.open();
        // Told once: a second look finds nothing new.
        const auto heard = [](Database& db) {
            QDeadlineTimer deadline(3000);
            while (!db.checkExternal())
                if (deadline.hasExpired())
                    return false;
                else
                    QTest::qWait(20);
            return true;
        };
        QVERIFY(!ana.checkExternal());
        dan.exec(QStringLiteral("INSERT INTO \"Catalog\" (\"Id_Loc\") VALUES (1)"));
        QVERIFY(heard(ana));
        ana.exec(QStringLiteral("INSERT INTO \"Catalog\" (\"Id_Loc\") VALUES (2)"));
        QVERIFY(heard(dan));
        QTest::qWait(200);
        QVERIFY(!ana.checkExternal());
        // A table that saw the rows reads them again once told.
        Table catalog(dan);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        QCOMPARE(catalog.recordCount(), 2);
        ana.exec(QStringLiteral("DELETE FROM \"Catalog\""));
        QVERIFY(heard(dan));
        catalog.refresh();
        QCOMPARE(catalog.recordCount(), 0);
    }

    void theDataSetWorksOnTheServerAsOnTheFile() {
        const QString server = freshDatabase();
        Database db(QString(), server);
        db.open();
        QVERIFY(db.createdFresh());
        QVERIFY(db.writable());
        Table catalog(db);
        catalog.setTableName(QStringLiteral("Catalog.DB"));
        catalog.open();
        QVERIFY(catalog.hasField(QStringLiteral("Nume_Uzufruct")));
        QVERIFY(!catalog.hasField(QStringLiteral("rowid")));
        const QStringList names = {QStringLiteral("Zamfir"), QString(), QStringLiteral("Ăla"),
                                   QStringLiteral("Barbu")};
        for (int i = 0; i < names.size(); ++i) {
            catalog.append();
            catalog.setValue(QStringLiteral("Id_Loc"), i + 1);
            catalog.setValue(QStringLiteral("Nume_Uzufruct"), names.at(i));
            catalog.setValue(QStringLiteral("Loc"), QString::number(i + 1));
            catalog.post();
        }
        const auto order = [&] {
            QStringList out;
            for (catalog.first(); !catalog.eof(); catalog.next())
                out << catalog.asString(QStringLiteral("Nume_Uzufruct"));
            return out;
        };
        // The kept order and the server's agree: NULL first, texts by their
        // bytes (Ă after every Latin letter).
        for (const IndexDef& d : catalog.indexDefs())
            if (d.fields == QLatin1String("Nume_Uzufruct;CNP_Uzufruct"))
                catalog.setIndexName(d.name);
        const QStringList kept = order();
        QCOMPARE(kept, QStringList({QString(), QStringLiteral("Barbu"), QStringLiteral("Zamfir"),
                                    QStringLiteral("Ăla")}));
        catalog.close();
        catalog.open();
        QCOMPARE(order(), kept);

        QVERIFY(catalog.locate(QStringLiteral("Id_Loc"), 3));
        catalog.edit();
        catalog.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("Cazacu"));
        catalog.post();
        QVERIFY(catalog.locate(QStringLiteral("Id_Loc"), 1));
        catalog.remove();
        Query q(db);
        q.setSql({QStringLiteral("SELECT count(*) AS N, max(\"Nume_Uzufruct\") AS M FROM "
                                 "\"Catalog.DB\" WHERE \"Loc\" >= :Din")});
        q.setParam(QStringLiteral("Din"), QStringLiteral("2"));
        q.open();
        QCOMPARE(q.asInteger(QStringLiteral("N")), 3);
        QCOMPARE(q.asString(QStringLiteral("M")), QStringLiteral("Cazacu"));

        // A savepoint undone keeps the transaction around it.
        {
            Transaction outer(db);
            db.exec(QStringLiteral("UPDATE \"Catalog\" SET \"Loc\" = ?"), {QStringLiteral("1")});
            try {
                Transaction inner(db);
                db.exec(QStringLiteral("UPDATE \"Catalog\" SET \"Loc\" = ?"),
                        {QStringLiteral("2")});
                db.exec(QStringLiteral("SELECT 1/0"));
                inner.commit();
            } catch (const StoreError&) {
            }
            outer.commit();
        }
        QCOMPARE(
            valueOf(db, QStringLiteral("SELECT min(\"Loc\") || max(\"Loc\") FROM \"Catalog\"")),
            QVariant(QStringLiteral("11")));
    }
};

QTEST_GUILESS_MAIN(TestPgStore)
#include "tst_pgstore.moc"
