// The import of old table files as the user meets it: the command line
// (report on standard output, nothing written without --yes) and the menu
// command of the main window (trial report, confirmation, the grids after).
#include "CommandLine.h"
#include "DBGNorm.h"
#include "Database.h"
#include "LegacyImportDialog.h"
#include "MainUnt.h"
#include "ParadoxWriter.h"
#include "PgServer.h"
#include "ServerChoice.h"
#include "Table.h"
#include "TestSupport.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

namespace {

// Two places (one with diacritics), a concession, a buried person, a
// receipt of a place that does not exist, and the unit name.
void writeOldFiles(const QString& dir) {
    auto cols = [](const char* t) { return ParadoxWriter::tableColumns(QString::fromLatin1(t)); };
    {
        ParadoxWriter w(dir + QStringLiteral("/Catalog.DB"), cols("Catalog"));
        w.add({4.0, QStringLiteral("Bellu"), "1", "2", "3", "4", QVariant(),
               QStringLiteral("Ţăranu Ştefan")});
        w.add({9.0, QStringLiteral("Bellu"), "1", "2", "3", "5"});
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Concesionari.DB"), cols("Concesionari"));
        w.add({4.0, 40.0, QDate(2001, 5, 6), QVariant(), QVariant(),
               QStringLiteral("Ţăranu Ştefan")});
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/PersInmormantate.DB"), cols("PersInmormantate"));
        w.add({4.0, 1.0, QDate(1990, 1, 2), QStringLiteral("Ţăranu Ion")});
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Chitante.DB"), cols("Chitante"));
        w.add({4.0, 1.0, QDate(2020, 1, 2), "taxa", 50.0});
        w.add({77.0, 2.0, QDate(2020, 1, 3), "taxa", 60.0});
    }
    {
        ParadoxWriter w(dir + QStringLiteral("/Unitatea.DB"), cols("Unitatea"));
        w.add({QStringLiteral("Primăria Bellu")});
    }
}

// Marks a table as protected by a password, as the old program does in
// its header.
void protect(const QString& path) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(0x5C));
    f.write(QByteArray("\x11\x22\x33\x44", 4));
}

int receipts(const QString& registerFile) {
    Database db(registerFile);
    db.open();
    return int(scalarOf(db, QStringLiteral("SELECT count(*) FROM Chitante")));
}

int places(const QString& registerFile) {
    Database db(registerFile);
    db.open();
    return int(scalarOf(db, QStringLiteral("SELECT count(*) FROM Catalog")));
}

struct Run {
    int code;
    QString out;
    QString err;
};

Run runCommand(const QStringList& args, const QString& programDir) {
    Run r;
    QTextStream out(&r.out), err(&r.err);
    r.code = CommandLine::run(QStringList{QStringLiteral("tombrix")} + args, programDir, out, err);
    return r;
}

// Answers the trial report when it opens: `button` is pressed, after the
// report's text has been kept for the test.
void answerReport(const QString& button, QString* report) {
    QTimer::singleShot(0, [button, report] {
        auto* dlg = qobject_cast<TImportRaportFrm*>(QApplication::activeModalWidget());
        if (!dlg) {
            answerReport(button, report); // not open yet
            return;
        }
        *report = dlg->report();
        dlg->findChild<QPushButton*>(button)->click();
    });
}

} // namespace

class TestImportCommand : public QObject {
    Q_OBJECT
private slots:
    void commandLineTrialWritesNothing() {
        TempProgramDir prog;
        QTemporaryDir old;
        writeOldFiles(old.path());
        const Run r = runCommand({QStringLiteral("--import"), old.path()}, prog.path());
        QCOMPARE(r.code, 0);
        QCOMPARE(r.err, QString());
        QVERIFY(r.out.contains(QStringLiteral("Catalog.DB: 2 randuri citite, 2 de importat")));
        QVERIFY(r.out.contains(QStringLiteral("Chitante.DB, randul 2 (Id_Loc 77): Id_Loc 77 nu "
                                              "corespunde niciunui loc")));
        QVERIFY(r.out.contains(QStringLiteral("--yes")));
        QCOMPARE(places(prog.file(QStringLiteral("Tombrix.sqlite"))), 0);
    }

    void commandLineWithYesImportsAndReplaces() {
        TempProgramDir prog;
        QTemporaryDir old;
        writeOldFiles(old.path());
        {
            Database db(prog.file(QStringLiteral("Tombrix.sqlite")));
            db.open();
            db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc) VALUES (1), (2), (3)"));
        }
        const Run r = runCommand({QStringLiteral("--import"), old.path(), QStringLiteral("--yes")},
                                 prog.path());
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains(QStringLiteral("Registrul avea 3 locuri")));
        QVERIFY(r.out.contains(QStringLiteral("Copia registrului dinainte de import: ")));
        QCOMPARE(places(prog.file(QStringLiteral("Tombrix.sqlite"))), 2);
    }

    // The register on a server, named by Tombrix.conn or by --server: the
    // same import, and no local file appears.
    void commandLineImportsIntoTheServer() {
        PgServer server;
        if (!server.isRunning())
            QSKIP(qPrintable(QStringLiteral("no test server: ") + server.why()));
        TempProgramDir prog;
        QTemporaryDir old;
        writeOldFiles(old.path());
        const QString conninfo = server.newDatabase(QStringLiteral("import"));
        QString error;
        QVERIFY(ServerChoice::write(prog.path(), conninfo, &error));
        Run r = runCommand({QStringLiteral("--import"), old.path(), QStringLiteral("--yes")},
                           prog.path());
        QVERIFY2(r.code == 0, qPrintable(r.err));
        const QString file = prog.file(QStringLiteral("Tombrix.sqlite"));
        QVERIFY(!QFileInfo::exists(file));
        // The register before the import is kept as the server's own dump.
        QVERIFY2(r.out.contains(QStringLiteral("-inainte-de-import/Tombrix/Tombrix.dump")),
                 qPrintable(r.out));
        Database db(file, conninfo);
        db.open();
        QCOMPARE(scalarOf(db, QStringLiteral("SELECT count(*) FROM Catalog")), 2);
        QCOMPARE(valueOf(db, QStringLiteral("SELECT Nume_Uzufruct FROM Catalog WHERE Id_Loc = 4")),
                 QVariant(QStringLiteral("Ţăranu Ştefan")));
        // --server wins over Tombrix.conn for one run; a server that is not
        // there is told in one Romanian line.
        r = runCommand({QStringLiteral("--import"), old.path(), QStringLiteral("--server"),
                        server.conninfo(QStringLiteral("lipsa"))},
                       prog.path());
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("Baza de date lipsa nu exista pe serverul")),
                 qPrintable(r.err));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        // The window is what --server alone asks for.
        QVERIFY(!CommandLine::wanted(
            {QStringLiteral("tombrix"), QStringLiteral("--server"), QStringLiteral("host=x")}));
        QVERIFY(CommandLine::wanted({QStringLiteral("tombrix"), QStringLiteral("--server=host=x"),
                                     QStringLiteral("--import"), QStringLiteral("d")}));
        QCOMPARE(CommandLine::serverOption({QStringLiteral("tombrix"), QStringLiteral("--server"),
                                            QStringLiteral(" host=x ")}),
                 QStringLiteral("host=x"));
    }

    void commandLineFailuresAreOneRomanianLine_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::newRow("no directory") << QStringList{QStringLiteral("--import")} << 2;
        QTest::newRow("unknown") << QStringList{QStringLiteral("--importa"), QStringLiteral("x")}
                                 << 2;
        QTest::newRow("directory left out")
            << QStringList{QStringLiteral("--import"), QStringLiteral("--yes")} << 2;
        QTest::newRow("day left out") << QStringList{QStringLiteral("--restore")} << 2;
        QTest::newRow("yes alone") << QStringList{QStringLiteral("--yes")} << 2;
        QTest::newRow("server left out")
            << QStringList{QStringLiteral("--import"), QStringLiteral("x"),
                           QStringLiteral("--server")}
            << 2;
        QTest::newRow("both commands")
            << QStringList{QStringLiteral("--import"), QStringLiteral("x"),
                           QStringLiteral("--restore"), QStringLiteral("20240304")}
            << 2;
        QTest::newRow("word") << QStringList{QStringLiteral("--import"), QStringLiteral("x"),
                                             QStringLiteral("y")}
                              << 2;
        QTest::newRow("missing directory")
            << QStringList{QStringLiteral("--import"), QStringLiteral("/nu/exista"),
                           QStringLiteral("--yes")}
            << 1;
    }
    void commandLineFailuresAreOneRomanianLine() {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        TempProgramDir prog;
        const Run r = runCommand(args, prog.path());
        QCOMPARE(r.code, code);
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        QVERIFY(r.err.size() > 10);
        QCOMPARE(r.out, QString());
        // The messages name what went wrong.
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        const QMap<QString, QString> says = {
            {QStringLiteral("no directory"),
             QStringLiteral("Dupa --import trebuie dat directorul")},
            {QStringLiteral("directory left out"),
             QStringLiteral("Dupa --import trebuie dat directorul")},
            {QStringLiteral("unknown"), QStringLiteral("Argument necunoscut: --importa")},
            {QStringLiteral("day left out"), QStringLiteral("Dupa --restore trebuie data ziua")},
            {QStringLiteral("yes alone"), QStringLiteral("--yes se foloseste doar impreuna")},
            {QStringLiteral("both commands"),
             QStringLiteral("--import si --restore nu se folosesc impreuna")},
            {QStringLiteral("word"), QStringLiteral("Argument necunoscut: y")}};
        if (says.contains(tag))
            QVERIFY2(r.err.startsWith(says.value(tag)), qPrintable(r.err));
    }

    // A protected receipts table: named in the trial; the rest comes over
    // only when the user says so, from the terminal or the menu.
    void aProtectedTableIsLeftOutOnlyWhenConfirmed() {
        TempProgramDir prog;
        QTemporaryDir old;
        writeOldFiles(old.path());
        protect(old.filePath(QStringLiteral("Chitante.DB")));
        const QString reg = prog.file(QStringLiteral("Tombrix.sqlite"));
        Run r = runCommand({QStringLiteral("--import"), old.path(), QStringLiteral("--yes")},
                           prog.path());
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains(QStringLiteral("Chitante.DB: NU SE IMPORTA: tabelul este protejat "
                                              "cu parola; salvati tabelul fara parola din "
                                              "programul vechi")));
        QVERIFY(r.out.contains(QStringLiteral("--yes --fara-refuzate")));
        QCOMPARE(places(reg), 0);
        r = runCommand({QStringLiteral("--import"), old.path(), QStringLiteral("--yes"),
                        QStringLiteral("--fara-refuzate")},
                       prog.path());
        QCOMPARE(r.code, 0);
        QCOMPARE(places(reg), 2);
        QCOMPARE(receipts(reg), 0);

        ScriptedPrompts prompts;
        TMainForm form(prog.path());
        form.database().exec(
            QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit) VALUES (4, 9)"));
        QString report;
        prompts.queueAnswer(PromptAnswer::No); // not without the receipts
        answerReport(QStringLiteral("ImportaBtn"), &report);
        form.importLegacy(old.path());
        QVERIFY(prompts.texts().last().startsWith(
            QStringLiteral("Chitante.DB nu se poate importa (vedeti proba).")));
        QCOMPARE(receipts(reg), 1);
        prompts.queueAnswer(PromptAnswer::Yes);
        prompts.queueAnswer(PromptAnswer::Yes); // the register's places are replaced
        answerReport(QStringLiteral("ImportaBtn"), &report);
        form.importLegacy(old.path());
        QCOMPARE(receipts(reg), 0);
        QCOMPARE(form.Catalog()->recordCount(), 2);
    }

    void menuImportFillsTheFourGrids() {
        TempProgramDir prog;
        ScriptedPrompts prompts;
        QTemporaryDir old;
        writeOldFiles(old.path());
        TMainForm form(prog.path());
        QVERIFY(form.findChild<QAction*>(QStringLiteral("Importadatelevechi1")));
        QString report;
        answerReport(QStringLiteral("ImportaBtn"), &report);
        form.importLegacy(old.path());
        QVERIFY(report.contains(QStringLiteral("Id_Loc 77")));
        QVERIFY(
            prompts.texts().last().startsWith(QStringLiteral("Importul s-a incheiat: 2 locuri")));
        QCOMPARE(form.Catalog()->recordCount(), 2);
        QVERIFY(form.Catalog()->locate(QStringLiteral("Id_Loc"), 4.0));
        QCOMPARE(form.Catalog()->asString(QStringLiteral("Nume_Uzufruct")),
                 QStringLiteral("Ţăranu Ştefan"));
        QCOMPARE(form.Concesionari()->recordCount(), 1);
        QCOMPARE(form.PersInmormantate()->asString(QStringLiteral("Numele")),
                 QStringLiteral("Ţăranu Ion"));
        QCOMPARE(form.Chitante()->recordCount(), 1);
        QCOMPARE(form.unitName(), QStringLiteral("Primăria Bellu"));
    }

    void declinedReportOrReplacementChangesNothing() {
        TempProgramDir prog;
        ScriptedPrompts prompts;
        QTemporaryDir old;
        writeOldFiles(old.path());
        TMainForm form(prog.path());
        QString report;
        answerReport(QStringLiteral("RenuntaBtn"), &report);
        form.importLegacy(old.path());
        QVERIFY(!report.isEmpty());
        QCOMPARE(form.Catalog()->recordCount(), 0);

        form.database().exec(QStringLiteral("INSERT INTO Catalog (Id_Loc) VALUES (1)"));
        form.database().noteChangeAll();
        form.Catalog()->refresh();
        prompts.queueAnswer(PromptAnswer::No); // keep the register's places
        answerReport(QStringLiteral("ImportaBtn"), &report);
        form.importLegacy(old.path());
        QVERIFY(prompts.texts().last().contains(QStringLiteral("Registrul contine deja un loc.")));
        QCOMPARE(prompts.shown().last().defaultAnswer, PromptAnswer::No);
        QCOMPARE(form.Catalog()->recordCount(), 1);
    }
};

QTEST_MAIN(TestImportCommand)
#include "tst_importcommand.moc"
