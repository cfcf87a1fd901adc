// A daily copy brought back as the user meets it: the command line (what
// it would do, nothing changed without --yes) and the menu command of the
// main window (the list, the confirmation, the grids after).
#include "Backup.h"
#include "CommandLine.h"
#include "Database.h"
#include "MainUnt.h"
#include "Restore.h"
#include "RestoreDialog.h"
#include "StoreError.h"
#include "Table.h"
#include "TestSupport.h"
#include "Values.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTableWidget>
#include <QTextStream>
#include <QTimer>
#include <QtTest>

namespace {

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

qint64 count(const QString& file, const QString& sql) {
    Database db(file);
    db.open();
    return scalarOf(db, sql);
}

void addPlaces(Database& db, int from, int to) {
    db.exec(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT %1 UNION ALL SELECT i + 1 FROM n "
                           "WHERE i < %2) INSERT INTO Catalog (Id_Loc, Loc, Nume_Uzufruct, "
                           "Observatii) SELECT i, i, 'Popescu ' || i, printf('%.300c', 'o') FROM n")
                .arg(from)
                .arg(to));
}

QString copyIn(const TempProgramDir& prog, const QString& stamp) {
    return prog.backupRoot() + QStringLiteral("/SalvariQuarvenn/") + stamp +
           QStringLiteral("/Tombrix/Tombrix.sqlite");
}

QStringList keptCopies(const TempProgramDir& prog) {
    return QDir(prog.backupRoot() + QStringLiteral("/SalvariQuarvenn"))
        .entryList({QStringLiteral("*-inainte-de-restaurare")}, QDir::Dirs);
}

// A register of 30 places copied on 4 March 2024, a damaged copy of
// 3 March, then 10 more places typed.
void prepare(const TempProgramDir& prog) {
    const QString file = prog.file(QStringLiteral("Tombrix.sqlite"));
    Database db(file);
    db.open();
    db.exec(QStringLiteral("INSERT INTO Unitatea (Cimitir) VALUES ('Bellu')"));
    addPlaces(db, 1, 20);
    QVERIFY(Backup::run(file, prog.backupBase(), QDate(2024, 3, 3)));
    addPlaces(db, 21, 30);
    QVERIFY(Backup::run(file, prog.backupBase(), QDate(2024, 3, 4)));
    addPlaces(db, 31, 40);
    QFile damaged(copyIn(prog, QStringLiteral("20240303")));
    QVERIFY(damaged.open(QIODevice::ReadWrite));
    damaged.seek(damaged.size() / 2);
    damaged.write(QByteArray(4096, '\x5a'));
}

} // namespace

class TestRestoreCommand : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Values::setDateLocale(QLocale(QLocale::Romanian, QLocale::Romania)); }

    void commandLineTellsFirstAndRestoresWithYes() {
        TempProgramDir prog;
        prepare(prog);
        const QString file = prog.file(QStringLiteral("Tombrix.sqlite"));
        // An older copy lacks a field the program added later.
        {
            Database copy(copyIn(prog, QStringLiteral("20240304")));
            copy.open();
            copy.exec(QStringLiteral("ALTER TABLE Chitante DROP COLUMN DStop"));
        }

        Run r = runCommand({QStringLiteral("--restore"), QStringLiteral("20240304")}, prog.path());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("Registrul are acum: 40 de locuri")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Copia are: 30 de locuri")));
        QVERIFY(r.out.contains(QStringLiteral("--yes")));
        QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 40);
        QVERIFY(keptCopies(prog).isEmpty());

        // A damaged copy or a day without one: refused, in one line, the copies listed.
        r = runCommand(
            {QStringLiteral("--restore"), QStringLiteral("20240303"), QStringLiteral("--yes")},
            prog.path());
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains(QStringLiteral("DETERIORATA")));
        QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
        r = runCommand({QStringLiteral("--restore"), QStringLiteral("20240310")}, prog.path());
        QCOMPARE(r.code, 1);
        QVERIFY(r.out.contains(Values::dateToText(QDate(2024, 3, 4))));
        QVERIFY(r.err.contains(QStringLiteral("Nu exista o copie zilnica")));
        QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 40);
        r = runCommand({QStringLiteral("--restore"), QStringLiteral("2024-03-04")}, prog.path());
        QCOMPARE(r.code, 2);

        r = runCommand(
            {QStringLiteral("--restore"), QStringLiteral("20240304"), QStringLiteral("--yes")},
            prog.path());
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QStringLiteral("a fost restaurata: 30 de locuri")),
                 qPrintable(r.out + r.err));
        QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 30);
        // Brought to the current structure.
        QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM pragma_table_info('Chitante') "
                                            "WHERE name = 'DStop'")),
                 1);
        QCOMPARE(keptCopies(prog).size(), 1);
        QCOMPARE(count(QDir(prog.backupRoot() + QStringLiteral("/SalvariQuarvenn/") +
                            keptCopies(prog).first())
                           .filePath(QStringLiteral("Tombrix/Tombrix.sqlite")),
                       QStringLiteral("SELECT count(*) FROM Catalog")),
                 40);
    }

    // A register another running Tombrix has open is never replaced under
    // it: it would go on writing to the old, deleted file.
    void aRegisterOpenElsewhereIsNotReplaced() {
        TempProgramDir prog;
        prepare(prog);
        const QString file = prog.file(QStringLiteral("Tombrix.sqlite"));
        {
            const Restore::InUseLock window(file);
            QVERIFY(window.held());
            const Run r = runCommand(
                {QStringLiteral("--restore"), QStringLiteral("20240304"), QStringLiteral("--yes")},
                prog.path());
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains(QStringLiteral("deschis si in alt program Tombrix")),
                     qPrintable(r.err));
            QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 40);

            // A second window finds the register held, and its menu refuses too.
            ScriptedPrompts prompts;
            TMainForm second(prog.path());
            QVERIFY_THROWS_EXCEPTION(StoreError, second.Restaureazaocopiezilnica1Click());
            QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 40);
        }
        // Once it is closed, the restore goes ahead.
        const Run r = runCommand(
            {QStringLiteral("--restore"), QStringLiteral("20240304"), QStringLiteral("--yes")},
            prog.path());
        QCOMPARE(r.code, 0);
        QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 30);
    }

    // A register whose first page is gone cannot be read by SQLite at all:
    // it is kept as its bytes, and the copy comes in its place.
    void anUnreadableRegisterIsKeptAndRestored() {
        TempProgramDir prog;
        prepare(prog);
        const QString file = prog.file(QStringLiteral("Tombrix.sqlite"));
        QByteArray damaged;
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadWrite));
            f.write(QByteArray(4096, '\x5a'));
            f.seek(0);
            damaged = f.readAll();
        }
        const Run r = runCommand(
            {QStringLiteral("--restore"), QStringLiteral("20240304"), QStringLiteral("--yes")},
            prog.path());
        QVERIFY2(r.code == 0, qPrintable(r.out + r.err));
        QCOMPARE(count(file, QStringLiteral("SELECT count(*) FROM Catalog")), 30);
        QCOMPARE(keptCopies(prog).size(), 1);
        QFile kept(
            QDir(prog.backupRoot() + QStringLiteral("/SalvariQuarvenn/") + keptCopies(prog).first())
                .filePath(QStringLiteral("Tombrix/Tombrix.sqlite")));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), damaged);
    }

    void menuRestoreShowsTheCopysPlacesAndKeepsTheRegister() {
        TempProgramDir prog;
        prepare(prog);
        FixedToday today(QDate(2024, 3, 5));
        ScriptedPrompts prompts;
        TMainForm form(prog.path()); // makes the copy of 5 March, 40 places
        QCOMPARE(form.Catalog()->recordCount(), 40);
        // A place being typed when the command comes: saved, and kept.
        form.Catalog()->append();
        form.Catalog()->setValue(QStringLiteral("Loc"), QStringLiteral("41"));

        QStringList listed;
        bool damagedChosen = true;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<TRestoreFrm*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            for (int r = 0; r < dlg->CopiiGrid->rowCount(); ++r)
                listed << dlg->CopiiGrid->item(r, 0)->text() + QLatin1Char(' ') +
                              dlg->CopiiGrid->item(r, 2)->text();
            QCOMPARE(dlg->chosen(), 0); // the newest good copy
            dlg->CopiiGrid->selectRow(2);
            damagedChosen = dlg->chosen() >= 0 && dlg->RestaureazaBtn->isEnabled();
            dlg->CopiiGrid->selectRow(1);
            dlg->RestaureazaBtn->click();
        });
        prompts.queueAnswer(PromptAnswer::Yes);
        form.findChild<QAction*>(QStringLiteral("Restaureazaocopiezilnica1"))->trigger();

        QCOMPARE(listed,
                 (QStringList{Values::dateToText(QDate(2024, 3, 5)) + QStringLiteral(" 40"),
                              Values::dateToText(QDate(2024, 3, 4)) + QStringLiteral(" 30"),
                              Values::dateToText(QDate(2024, 3, 3)) + QStringLiteral(" ")}));
        QVERIFY(!damagedChosen);
        const QStringList texts = prompts.texts();
        QVERIFY(texts.size() >= 2);
        QVERIFY2(
            texts.at(texts.size() - 2).contains(QStringLiteral("Registrul are acum: 41 de locuri")),
            qPrintable(texts.join(QLatin1Char('|'))));
        QCOMPARE(prompts.shown().at(texts.size() - 2).defaultAnswer, PromptAnswer::No);
        QVERIFY(texts.last().startsWith(QStringLiteral("Copia din")));
        QCOMPARE(form.Catalog()->recordCount(), 30);
        QVERIFY(form.Catalog()->locate(QStringLiteral("Id_Loc"), 30.0));
        QCOMPARE(form.Catalog()->asString(QStringLiteral("Nume_Uzufruct")),
                 QStringLiteral("Popescu 30"));
        QCOMPARE(keptCopies(prog).size(), 1);
        QCOMPARE(count(QDir(prog.backupRoot() + QStringLiteral("/SalvariQuarvenn/") +
                            keptCopies(prog).first())
                           .filePath(QStringLiteral("Tombrix/Tombrix.sqlite")),
                       QStringLiteral("SELECT count(*) FROM Catalog")),
                 41);
        // The register goes on being edited after the restore.
        form.Catalog()->append();
        form.Catalog()->setValue(QStringLiteral("Loc"), QStringLiteral("99"));
        form.Catalog()->post();
        QCOMPARE(count(prog.file(QStringLiteral("Tombrix.sqlite")),
                       QStringLiteral("SELECT count(*) FROM Catalog")),
                 31);
    }

    void aDamagedRegisterIsRestoredFromTheMenu() {
        TempProgramDir prog;
        prepare(prog);
        QFile reg(prog.file(QStringLiteral("Tombrix.sqlite")));
        QVERIFY(reg.open(QIODevice::ReadWrite));
        reg.seek(reg.size() / 2);
        reg.write(QByteArray(8192, '\x5a'));
        reg.close();
        FixedToday today(QDate(2024, 3, 5));
        ScriptedPrompts prompts;
        TMainForm form(prog.path()); // refuses the register, opens no table
        QVERIFY(prompts.texts().join(QString()).contains(QStringLiteral("deteriorata")));
        QVERIFY(!form.Catalog()->isActive());

        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<TRestoreFrm*>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            QCOMPARE(dlg->CopiiGrid->rowCount(), 2); // no copy was made of the damaged one
            QCOMPARE(dlg->chosen(), 0);
            dlg->RestaureazaBtn->click();
        });
        prompts.queueAnswer(PromptAnswer::Yes);
        form.findChild<QAction*>(QStringLiteral("Restaureazaocopiezilnica1"))->trigger();
        QVERIFY2(prompts.texts().last().startsWith(QStringLiteral("Copia din")),
                 qPrintable(prompts.texts().last()));
        QVERIFY(form.Catalog()->isActive());
        QCOMPARE(form.Catalog()->recordCount(), 30);
        QVERIFY(Restore::inspect(prog.file(QStringLiteral("Tombrix.sqlite"))).intact);
        QCOMPARE(keptCopies(prog).size(), 1); // the damaged register, as it was
    }
};

QTEST_MAIN(TestRestoreCommand)
#include "tst_restorecommand.moc"
