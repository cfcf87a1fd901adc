// The report run from the command line: its arguments, the register it
// reads after the start-up checks, the PDF it writes, and its one-line
// failures.
#include "Backup.h"
#include "Clock.h"
#include "Database.h"
#include "ReportCommand.h"
#include "TestSupport.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTextStream>
#include <QtTest>

namespace {

struct Outcome {
    int code = -1;
    QString out, err;
};

Outcome runCommand(const QStringList& args, const QString& programDir) {
    Outcome r;
    QTextStream out(&r.out), err(&r.err);
    ReportCommand::Args parsed;
    QString error;
    if (!ReportCommand::parse(args, &parsed, &error)) {
        r.code = 2;
        r.err = error;
        return r;
    }
    r.code = ReportCommand::run(parsed, programDir, out, err);
    out.flush();
    err.flush();
    return r;
}

QString pdfText(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A register of `n` places in three cemeteries; every third place has a
// holder. Returns the unoccupied count per cemetery.
QMap<QString, int> fillRegister(const QString& programDir, int n) {
    Database db(programDir + QString::fromLatin1(Database::FileName));
    db.open();
    QMap<QString, int> free;
    Transaction t(db);
    for (int i = 0; i < n; ++i) {
        const QString cem = QStringList{"Bellu", "Ghencea", "Sf. \"Maria\""}.at(i % 3);
        const bool held = (i / 3) % 3 == 0;
        db.exec(QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, Loc, "
                               "Nume_Uzufruct) VALUES (?, ?, ?, '1', '1', ?, ?)"),
                {i + 1, cem, QStringLiteral("S%1").arg(i % 7), QString::number(i),
                 held ? QVariant(QStringLiteral("POPESCU")) : QVariant()});
        if (!held)
            ++free[cem];
    }
    t.commit();
    db.close();
    return free;
}

} // namespace

class TestReportCommand : public QObject {
    Q_OBJECT

private slots:
    void argumentsAreChecked();
    void writesTheListPerCemetery();
    void chosenCemeteryOnly();
    void noPagesWritesNoFile();
    void missingRegisterFails();
};

void TestReportCommand::argumentsAreChecked() {
    ReportCommand::Args a;
    QString error;
    QVERIFY(ReportCommand::wanted({QStringLiteral("--report"), QStringLiteral("neocupate")}));
    QVERIFY(!ReportCommand::wanted({QStringLiteral("--help")}));
    QVERIFY(ReportCommand::parse({"--report", "incasari", "--pdf", "a.pdf", "--cemetery", "A",
                                  "--cemetery", "", "--from", "1.1.2024", "--to", "31.12.24",
                                  "--type", "Taxa"},
                                 &a, &error));
    QCOMPARE(a.cemeteries, (QStringList{QStringLiteral("A"), QString()}));
    QCOMPARE(a.from, QDate(2024, 1, 1));
    QCOMPARE(a.to, QDate(2024, 12, 31));
    QCOMPARE(a.types, QStringList{QStringLiteral("Taxa")});
    QVERIFY(ReportCommand::parse(
        {"--report", "restantieri", "--pdf", "a.pdf", "--date", "05.03.2024"}, &a, &error));
    QCOMPARE(a.date, QDate(2024, 3, 5));

    const QList<QPair<QStringList, QString>> wrong = {
        {{"--report", "nimic", "--pdf", "a.pdf"}, "Raport necunoscut"},
        {{"--report", "neocupate"}, "Lipseste --pdf"},
        {{"--report", "neocupate", "--pdf"}, "cere o valoare"},
        {{"--report", "expirate", "--pdf", "a.pdf", "--date", "31.02.2024"},
         "nu este o data valida"},
        {{"--report", "incasari", "--pdf", "a.pdf", "--from", "01.01.2024"}, "--from cat si --to"},
        {{"--report", "incasari", "--pdf", "a.pdf", "--from", "02.01.2024", "--to", "01.01.2024"},
         "Intervalul de timp nu este corect! 01.01.2024 < 02.01.2024"},
        // Options the report does not read.
        {{"--report", "neocupate", "--pdf", "a.pdf", "--date", "01.01.2024"},
         "Optiunea --date nu se aplica raportului \"neocupate\"."},
        {{"--report", "restantieri", "--pdf", "a.pdf", "--from", "01.01.2024", "--to",
          "02.01.2024"},
         "Optiunea --from nu se aplica raportului \"restantieri\"."},
        {{"--report", "decizii", "--pdf", "a.pdf", "--to", "01.01.2024"},
         "Optiunea --to nu se aplica"},
        {{"--report", "incasari", "--pdf", "a.pdf", "--date", "01.01.2024"},
         "Optiunea --date nu se aplica"},
        {{"--report", "expirate", "--pdf", "a.pdf", "--type", "Taxa"},
         "Optiunea --type nu se aplica"},
        {{"--report", "neocupate", "--pdf", "a.pdf", "--colour", "red"}, "Optiune necunoscuta"},
    };
    for (const auto& [args, text] : wrong) {
        QVERIFY2(!ReportCommand::parse(args, &a, &error), qPrintable(args.join(' ')));
        QVERIFY2(error.contains(text), qPrintable(error));
        QVERIFY(!error.contains(QLatin1Char('\n')));
    }
    QVERIFY(ReportCommand::helpText().contains(QStringLiteral("--report")));
}

void TestReportCommand::writesTheListPerCemetery() {
    TempProgramDir dir;
    FixedToday today(QDate(2024, 5, 10));
    const QMap<QString, int> free = fillRegister(dir.path(), 300);
    const QString pdf = dir.file(QStringLiteral("out.pdf"));
    const Outcome r = runCommand({"--report", "neocupate", "--pdf", pdf}, dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.err.isEmpty());
    // The start-up checks ran: the day's copy and the private directory.
    QVERIFY(QFileInfo(Backup::directory(dir.backupBase(), QDate(2024, 5, 10))).isDir());
    QVERIFY(QFileInfo(dir.file(QStringLiteral("PRIV"))).isDir());
    // Nothing but the PDF was left beside it.
    QCOMPARE(QDir(dir.path()).entryList({QStringLiteral("*.pdf*")}, QDir::Files),
             QStringList{QStringLiteral("out.pdf")});

    const QStringList pages = pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QMap<QString, int> listed;
    QString cemetery;
    const QRegularExpression heading(QStringLiteral("Cimitirul:\\s+(.+?)\\s*$"));
    const QRegularExpression row(QStringLiteral("^\\s*(\\d+)\\s+S\\d\\s+1\\s+1\\s+(\\d+)\\s*$"));
    for (const QString& page : pages) {
        QVERIFY(page.contains(QStringLiteral("Lista locurilor ramase neocupate")));
        for (const QString& line : page.split(QLatin1Char('\n'))) {
            const QRegularExpressionMatch h = heading.match(line);
            if (h.hasMatch()) {
                QVERIFY2(!listed.contains(h.captured(1)), "a cemetery listed twice");
                cemetery = h.captured(1);
                continue;
            }
            const QRegularExpressionMatch m = row.match(line);
            if (!m.hasMatch())
                continue;
            // Numbered from 1 within each cemetery, without a gap.
            QCOMPARE(m.captured(1).toInt(), listed.value(cemetery) + 1);
            listed[cemetery] = m.captured(1).toInt();
            // Only places without a holder.
            QVERIFY((m.captured(2).toInt() / 3) % 3 != 0);
        }
    }
    QCOMPARE(listed, free);
}

void TestReportCommand::chosenCemeteryOnly() {
    TempProgramDir dir;
    const QMap<QString, int> free = fillRegister(dir.path(), 60);
    const QString pdf = dir.file(QStringLiteral("maria.pdf"));
    const Outcome r = runCommand(
        {"--report", "neocupate", "--pdf", pdf, "--cemetery", "Sf. \"Maria\""}, dir.path());
    QCOMPARE(r.code, 0);
    const QString text = pdfText(pdf);
    QVERIFY(text.contains(QStringLiteral("Sf. \"Maria\"")));
    QVERIFY(!text.contains(QStringLiteral("Bellu")));
    QVERIFY(!text.contains(QStringLiteral("Ghencea")));
    QVERIFY(text.contains(QRegularExpression(
        QStringLiteral("\\b%1\\s+S\\d\\s+1\\s+1\\s+\\d+\\s").arg(free.value("Sf. \"Maria\"")))));
}

void TestReportCommand::noPagesWritesNoFile() {
    TempProgramDir dir;
    fillRegister(dir.path(), 30);
    const QString pdf = dir.file(QStringLiteral("gol.pdf"));
    const Outcome r =
        runCommand({"--report", "neocupate", "--pdf", pdf, "--cemetery", "Nu exista"}, dir.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.trimmed(), QStringLiteral("Raportul nu are nicio pagina."));
    QVERIFY(!QFileInfo::exists(pdf));

    // Yesterday's list at that path goes, and the message says so.
    QFile old(pdf);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("%PDF-1.4 lista de ieri");
    old.close();
    const Outcome again =
        runCommand({"--report", "neocupate", "--pdf", pdf, "--cemetery", "Nu exista"}, dir.path());
    QCOMPARE(again.code, 0);
    QCOMPARE(again.out.trimmed(),
             QStringLiteral("Raportul nu are nicio pagina; fisierul mai vechi \"%1\" a fost sters.")
                 .arg(QDir::toNativeSeparators(pdf)));
    QVERIFY(!QFileInfo::exists(pdf));
}

void TestReportCommand::missingRegisterFails() {
    TempProgramDir dir;
    const QString pdf = dir.file(QStringLiteral("out.pdf"));
    const Outcome r = runCommand({"--report", "neocupate", "--pdf", pdf}, dir.path());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(r.err.startsWith(QStringLiteral("Nu exista registrul")));
    QVERIFY(!QFileInfo::exists(pdf));
    QVERIFY(!QFileInfo::exists(dir.file(QString::fromLatin1(Database::FileName))));

    // A PDF that cannot be written: one line, no success.
    fillRegister(dir.path(), 6);
    const Outcome w = runCommand(
        {"--report", "neocupate", "--pdf", dir.file(QStringLiteral("nu/exista/out.pdf"))},
        dir.path());
    QCOMPARE(w.code, 1);
    QCOMPARE(w.err.count(QLatin1Char('\n')), 1);
    QVERIFY(w.err.startsWith(QStringLiteral("Nu pot scrie fisierul")));
}

QTEST_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
