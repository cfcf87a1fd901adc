// Two clerks on one register, on the file and on a PostgreSQL server the
// test starts itself: a save over another clerk's change is told and
// keeps the typing, a place deleted by one cannot be saved by the other,
// and places added at once get ids of their own.
#include "Database.h"
#include "PgServer.h"
#include "PlaceRegister.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"

#include <QProcess>
#include <QtTest>

namespace {

// One clerk's register, wired as the main window wires it.
struct Clerk {
    Database db;
    QObject owner;
    PlaceRegister reg{db, &owner};
    Table& catalog = reg.catalog();

    Clerk(const QString& file, const QString& server) : db(file, server) {
        db.open();
        reg.open();
    }
    bool at(const QString& loc) { return catalog.locate(QStringLiteral("Loc"), loc); }
    QString holder() const { return catalog.asString(QStringLiteral("Nume_Uzufruct")); }
    void type(const QString& name) {
        catalog.edit();
        catalog.setValue(QStringLiteral("Nume_Uzufruct"), name);
    }
};

StoreError failureOf(const std::function<void()>& work) {
    try {
        work();
    } catch (const StoreError& e) {
        return e;
    }
    return StoreError(QString());
}

} // namespace

class TestClerks : public QObject {
    Q_OBJECT

    std::unique_ptr<PgServer> m_server;
    std::unique_ptr<TempProgramDir> m_dir;
    int m_serial = 0;
    QString m_file, m_conninfo;

    // A register with one unit and places "1" and "2", on the file or the server.
    void makeRegister(bool onServer) {
        m_dir = std::make_unique<TempProgramDir>();
        m_file = m_dir->file(QStringLiteral("Tombrix.sqlite"));
        m_conninfo.clear();
        if (onServer) {
            if (!m_server->isRunning())
                QSKIP(qPrintable(QStringLiteral("no test server: ") + m_server->why()));
            m_conninfo = m_server->newDatabase(QStringLiteral("c%1").arg(++m_serial));
        }
        Clerk first(m_file, m_conninfo);
        ScriptedPrompts answers;
        answers.queueInput(QStringLiteral("Cimitirul Central"));
        first.reg.askUnitName();
        for (const QString& loc : {QStringLiteral("1"), QStringLiteral("2")}) {
            first.catalog.append();
            first.catalog.setValue(QStringLiteral("Loc"), loc);
            first.catalog.setValue(QStringLiteral("Nume_Uzufruct"), QStringLiteral("ION"));
            first.catalog.post();
        }
    }

    // What a clerk who opens the register now reads.
    QString storedHolder(const QString& loc) {
        Clerk reader(m_file, m_conninfo);
        return reader.at(loc) ? reader.holder() : QStringLiteral("(lipsa)");
    }

    static void onFileAndServer() {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("fisier") << false;
        QTest::newRow("server") << true;
    }

private slots:
    void initTestCase() { m_server = std::make_unique<PgServer>(); }

    void aSaveOverAnotherClerksChangeIsToldAndKeepsTheTyping_data() { onFileAndServer(); }
    void aSaveOverAnotherClerksChangeIsToldAndKeepsTheTyping() {
        QFETCH(bool, onServer);
        makeRegister(onServer);
        Clerk ana(m_file, m_conninfo), dan(m_file, m_conninfo);
        QVERIFY(ana.at(QStringLiteral("1")) && dan.at(QStringLiteral("1")));
        ana.type(QStringLiteral("ANA POPESCU"));
        dan.type(QStringLiteral("DAN IONESCU"));
        dan.catalog.post();

        const StoreError told = failureOf([&] { ana.catalog.post(); });
        QCOMPARE(told.kind(), FailureKind::Conflict);
        QVERIFY2(told.message().contains(QStringLiteral("modificata de alt utilizator")) &&
                     told.message().contains(QStringLiteral("Nume_Uzufruct: DAN IONESCU")),
                 qPrintable(told.message()));
        // Nothing of Dan's was overwritten, and Ana's typing is still there.
        QVERIFY(ana.catalog.isEditing());
        QCOMPARE(ana.holder(), QStringLiteral("ANA POPESCU"));
        QCOMPARE(storedHolder(QStringLiteral("1")), QStringLiteral("DAN IONESCU"));
        // Dropping the typing shows what Dan stored; saving again, knowing
        // it, keeps Ana's.
        ana.catalog.cancel();
        QCOMPARE(ana.holder(), QStringLiteral("DAN IONESCU"));
        ana.type(QStringLiteral("ANA POPESCU"));
        ana.catalog.post();
        QCOMPARE(storedHolder(QStringLiteral("1")), QStringLiteral("ANA POPESCU"));
        // A save with nothing changed by anyone else goes through.
        ana.type(QStringLiteral("ANA MARIA POPESCU"));
        ana.catalog.post();
        QCOMPARE(ana.catalog.state(), TableState::Browse);
    }

    void aPlaceDeletedByAnotherClerkIsNotSaved_data() { onFileAndServer(); }
    void aPlaceDeletedByAnotherClerkIsNotSaved() {
        QFETCH(bool, onServer);
        makeRegister(onServer);
        Clerk ana(m_file, m_conninfo), dan(m_file, m_conninfo);
        QVERIFY(ana.at(QStringLiteral("2")) && dan.at(QStringLiteral("2")));
        ana.type(QStringLiteral("ANA POPESCU"));
        {
            ScriptedPrompts answers;
            answers.queueAnswer(PromptAnswer::Yes);
            dan.catalog.remove();
        }
        const StoreError told = failureOf([&] { ana.catalog.post(); });
        QCOMPARE(told.kind(), FailureKind::Conflict);
        QVERIFY2(told.message().contains(QStringLiteral("stearsa de alt utilizator")),
                 qPrintable(told.message()));
        QVERIFY(ana.catalog.isEditing());
        // Nothing came back to life.
        QCOMPARE(scalarOf(dan.db, QStringLiteral("SELECT count(*) FROM \"Catalog\"")), 1);
    }

    void placesAddedAtOnceGetIdsOfTheirOwn_data() { onFileAndServer(); }
    void placesAddedAtOnceGetIdsOfTheirOwn() {
        QFETCH(bool, onServer);
        makeRegister(onServer);
        Clerk ana(m_file, m_conninfo), dan(m_file, m_conninfo);
        // Both new rows are begun before either is saved: both were offered
        // the same next id.
        ana.catalog.append();
        ana.catalog.setValue(QStringLiteral("Loc"), QStringLiteral("3"));
        dan.catalog.append();
        dan.catalog.setValue(QStringLiteral("Loc"), QStringLiteral("4"));
        QCOMPARE(ana.catalog.value(QStringLiteral("Id_Loc")),
                 dan.catalog.value(QStringLiteral("Id_Loc")));
        ana.catalog.post();
        dan.catalog.post();
        QCOMPARE(scalarOf(ana.db, QStringLiteral("SELECT count(DISTINCT \"Id_Loc\") FROM "
                                                 "\"Catalog\"")),
                 4);
        QCOMPARE(dan.catalog.value(QStringLiteral("Id_Loc")).toInt(), 4);
    }

    // The server drops the connection while a clerk types: the save says
    // it was not made and keeps the row; the next save connects again.
    void aLostConnectionKeepsTheTyping() {
        makeRegister(true);
        Clerk ana(m_file, m_conninfo);
        QVERIFY(ana.at(QStringLiteral("1")));
        ana.type(QStringLiteral("ANA POPESCU"));
        {
            Database admin(m_file, m_conninfo);
            admin.open();
            admin.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                      "WHERE datname = current_database() AND pid <> "
                                      "pg_backend_pid()"));
        }
        const StoreError told = failureOf([&] { ana.catalog.post(); });
        QCOMPARE(told.kind(), FailureKind::ConnectionLost);
        QVERIFY2(told.message().contains(QStringLiteral("nu a fost salvat")),
                 qPrintable(told.message()));
        QVERIFY(ana.catalog.isEditing());
        QCOMPARE(ana.holder(), QStringLiteral("ANA POPESCU"));
        ana.catalog.post();
        QCOMPARE(storedHolder(QStringLiteral("1")), QStringLiteral("ANA POPESCU"));
    }

    // The other clerk is another program: its save reaches this one's
    // kept row only through the database.
    void anotherProgramsSaveIsToldToo_data() { onFileAndServer(); }
    void anotherProgramsSaveIsToldToo() {
        QFETCH(bool, onServer);
        makeRegister(onServer);
        Clerk ana(m_file, m_conninfo);
        QVERIFY(ana.at(QStringLiteral("1")));
        ana.type(QStringLiteral("ANA POPESCU"));
        QProcess dan;
        dan.start(QStringLiteral(CLERK_WRITER),
                  {m_file, m_conninfo, QStringLiteral("1"), QStringLiteral("DAN IONESCU")});
        QVERIFY(dan.waitForFinished(30000));
        QCOMPARE(dan.exitCode(), 0);
        const StoreError told = failureOf([&] { ana.catalog.post(); });
        QCOMPARE(told.kind(), FailureKind::Conflict);
        QVERIFY(told.message().contains(QStringLiteral("DAN IONESCU")));
        QCOMPARE(ana.holder(), QStringLiteral("ANA POPESCU"));

        // And the other program deletes a place being typed here.
        ana.catalog.cancel();
        QVERIFY(ana.at(QStringLiteral("2")));
        ana.type(QStringLiteral("ANA POPESCU"));
        dan.start(QStringLiteral(CLERK_WRITER),
                  {m_file, m_conninfo, QStringLiteral("2"), QStringLiteral("-")});
        QVERIFY(dan.waitForFinished(30000));
        QCOMPARE(dan.exitCode(), 0);
        QVERIFY(failureOf([&] { ana.catalog.post(); })
                    .message()
                    .contains(QStringLiteral("stearsa de alt utilizator")));
    }
};

QTEST_GUILESS_MAIN(TestClerks)
#include "tst_clerks.moc"
