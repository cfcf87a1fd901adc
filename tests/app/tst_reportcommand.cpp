// The report run from the command line: its arguments, the register it
// reads after the start-up checks, the PDF it writes, and its one-line
// failures.
#include "Backup.h"
#include "Clock.h"
#include "Database.h"
#include "ReportCommand.h"
#include "SheetReader.h"
#include "TestSupport.h"
#include "Values.h"

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

// `n` places with a holder and a concession of 2010; the odd ones have
// paid the annual fee up to 2030, the even ones only up to 2020. Returns
// the number in arrears at any date between.
int fillHolders(const QString& programDir, int n) {
    Database db(programDir + QString::fromLatin1(Database::FileName));
    db.open();
    Transaction t(db);
    int behind = 0;
    for (int i = 1; i <= n; ++i) {
        db.exec(
            QStringLiteral("INSERT INTO Catalog (Id_Loc, Cimitir, Sector, Parcela, Rand, Loc, "
                           "CNP_Uzufruct, Nume_Uzufruct) VALUES (?, ?, '1', '1', '1', ?, ?, ?)"),
            {i, i % 2 ? QStringLiteral("Bellu") : QStringLiteral("Ghencea"), QString::number(i),
             QStringLiteral("18501011234%1").arg(i % 100, 2, 10, QLatin1Char('0')),
             QStringLiteral("POPESCU %1").arg(i)});
        db.exec(
            QStringLiteral("INSERT INTO Concesionari (Id_Loc, Nr_concesiune, Data_concesiune, "
                           "Nr_ani_concesiune, Nume_Uzufruct) VALUES (?, ?, '2010-01-01', 20, ?)"),
            {i, i, QStringLiteral("POPESCU %1").arg(i)});
        const bool paid = i % 2;
        db.exec(QStringLiteral("INSERT INTO Chitante (Id_Loc, Nr_chit, Data, Tip_incasare, DStart, "
                               "DStop, Suma) VALUES (?, ?, '2020-01-02', 'Taxa anuala', "
                               "'2020-01-01', ?, 100)"),
                {i, 9000 + i, paid ? QStringLiteral("2030-12-31") : QStringLiteral("2020-12-31")});
        behind += paid ? 0 : 1;
    }
    t.commit();
    return behind;
}

// The rows of a sheet whose column `col` (1-based) starts with `prefix`.
QList<int> rowsStarting(const Sheet& s, int col, const QString& prefix) {
    QList<int> out;
    for (int r = 1; r <= s.rows; ++r)
        if (s.row(r).value(col - 1).startsWith(prefix))
            out << r;
    return out;
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
    void spreadsheetBesideThePdf();
    void spreadsheetAmountsAndAnEmptyList();
    void spreadsheetOfTheDecisions();
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
    // A spreadsheet instead of the PDF, or both.
    QVERIFY(ReportCommand::parse({"--report", "neocupate", "--xlsx", "a.xlsx"}, &a, &error));
    QCOMPARE(a.xlsx, QStringLiteral("a.xlsx"));
    QVERIFY(a.pdf.isEmpty());
    QVERIFY(ReportCommand::parse({"--report", "restantieri", "--xlsx", "a.xlsx", "--pdf", "a.pdf"},
                                 &a, &error));
    QCOMPARE(a.pdf, QStringLiteral("a.pdf"));
    QVERIFY(ReportCommand::helpText().contains(QStringLiteral("--xlsx")));

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
        {{"--report", "neocupate", "--pdf", "a.pdf", "--colour", "red"},
         "Optiune necunoscuta: --colour (vezi tombrix --help)."},
        {{"--report", "neocupate", "--pdf", "a.pdf", "de-mana"}, "Optiune necunoscuta: de-mana"},
        {{"--report", "neocupate", "--xlsx"}, "Optiunea --xlsx cere o valoare."},
        {{"--report", "incasari", "--xlsx", "a.xlsx", "--from", "1.1.2024", "--to", "32.1.2024"},
         "Data \"32.1.2024\" data la --to nu este o data valida"},
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

void TestReportCommand::spreadsheetBesideThePdf() {
    TempProgramDir dir;
    const int behind = fillHolders(dir.path(), 60);
    const QString pdf = dir.file(QStringLiteral("r.pdf"));
    const QString xlsx = dir.file(QStringLiteral("r.xlsx"));
    const Outcome r = runCommand(
        {"--report", "restantieri", "--pdf", pdf, "--xlsx", xlsx, "--date", "10.05.2024"},
        dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
    // The holders of the PDF, by their numbered rows.
    int printed = 0;
    const QRegularExpression row(QStringLiteral("^\\s*\\d+\\s+POPESCU \\d+"));
    for (const QString& line : pdfText(pdf).split(QLatin1Char('\n')))
        printed += row.match(line).hasMatch() ? 1 : 0;
    QCOMPARE(printed, behind);

    const Sheet s = readSheet(xlsx);
    QVERIFY(s.ok);
    QCOMPARE(s.name, QStringLiteral("Restantieri"));
    QCOMPARE(s.row(1).value(0), QStringLiteral("Lista restantierilor la plata taxei anuale"));
    QVERIFY(s.row(2).value(0).contains(Values::dateToText(QDate(2024, 5, 10))));
    const QList<int> holders = rowsStarting(s, 2, QStringLiteral("POPESCU"));
    QCOMPARE(holders.size(), printed);
    const int heads = rowsStarting(s, 1, QStringLiteral("Nr. crt.")).value(0);
    QCOMPARE(s.row(heads), (QStringList{"Nr. crt.", "Numele uzufructului", "CNP", "Detalii",
                                        "Data con.", "Nr. con.", "Ac. pana la"}));
    QCOMPARE(s.frozenAt, QStringLiteral("A%1").arg(heads + 1));
    // Each cemetery's line, as on paper (Bellu's holders have all paid).
    QCOMPARE(s.row(heads + 1).value(0), QStringLiteral("Cimitirul: Bellu"));
    QCOMPARE(s.row(heads + 2).value(0), QStringLiteral("Cimitirul: Ghencea"));
    QVERIFY(s.at(QStringLiteral("A%1").arg(heads + 2)).bold);
    QCOMPARE(holders.first(), heads + 3);
    for (int r : holders) {
        const QString n = QString::number(r);
        QCOMPARE(s.at("C" + n).kind, QStringLiteral("text"));
        QVERIFY(s.at("C" + n).value.startsWith(QStringLiteral("18501011234")));
        QCOMPARE(s.at("E" + n).format, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(s.at("E" + n).value.toDouble(),
                 double(QDate(1899, 12, 30).daysTo(QDate(2010, 1, 1))));
        QCOMPARE(s.at("G" + n).kind, QStringLiteral("number"));
        QCOMPARE(s.at("G" + n).format, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(s.at("A" + n).kind, QStringLiteral("number"));
    }
    QVERIFY(s.widths.value(2) >= QStringLiteral("POPESCU 60").size());
}

void TestReportCommand::spreadsheetAmountsAndAnEmptyList() {
    TempProgramDir dir;
    fillHolders(dir.path(), 10);
    const QString xlsx = dir.file(QStringLiteral("i.xlsx"));
    Outcome r = runCommand(
        {"--report", "incasari", "--xlsx", xlsx, "--from", "01.01.2020", "--to", "31.12.2020"},
        dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const Sheet s = readSheet(xlsx);
    QCOMPARE(s.name, QStringLiteral("Incasari in perioada"));
    // The note over the paid period stands above its first column.
    const int heads = rowsStarting(s, 1, QStringLiteral("Nr. crt.")).value(0);
    QCOMPARE(s.at(QStringLiteral("F%1").arg(heads - 1)).value,
             QStringLiteral("(Perioada achitata)"));
    QCOMPARE(s.row(heads).value(3), QStringLiteral("Suma"));
    const QList<int> receipts = rowsStarting(s, 3, QStringLiteral("90"));
    QCOMPARE(receipts.size(), 10);
    for (int row : receipts) {
        const QString n = QString::number(row);
        QCOMPARE(s.at("C" + n).kind, QStringLiteral("text")); // the receipt's number
        QCOMPARE(s.at("D" + n).kind, QStringLiteral("number"));
        QCOMPARE(s.at("D" + n).value.toDouble(), 100.0);
        QCOMPARE(s.at("D" + n).format, QStringLiteral("0.00"));
        QCOMPARE(s.at("B" + n).format, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(s.at("F" + n).format, QStringLiteral("dd.mm.yyyy"));
    }
    // The grand total, bold, as a number under the amounts.
    const QList<int> total = rowsStarting(s, 1, QStringLiteral("Total general"));
    QCOMPARE(total.size(), 1);
    QCOMPARE(s.at(QStringLiteral("D%1").arg(total.first())).value.toDouble(), 1000.0);
    QVERIFY(s.at(QStringLiteral("D%1").arg(total.first())).bold);
    QCOMPARE(rowsStarting(s, 1, QStringLiteral("Total valoare pentru cimitirul")).size(), 2);

    // No receipts in the period: yesterday's spreadsheet goes, and the message says so.
    r = runCommand(
        {"--report", "incasari", "--xlsx", xlsx, "--from", "01.01.1990", "--to", "02.01.1990"},
        dir.path());
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out.trimmed(),
             QStringLiteral("Raportul nu are niciun rand; fisierul mai vechi \"%1\" a fost sters.")
                 .arg(QDir::toNativeSeparators(xlsx)));
    QVERIFY(!QFileInfo::exists(xlsx));

    // A spreadsheet that cannot be written: one line, no success.
    r = runCommand(
        {"--report", "restantieri", "--xlsx", dir.file(QStringLiteral("nu/exista.xlsx"))},
        dir.path());
    QCOMPARE(r.code, 1);
    QCOMPARE(r.err.count(QLatin1Char('\n')), 1);
    QVERIFY(r.err.startsWith(QStringLiteral("Nu pot scrie fisierul")));
}

void TestReportCommand::spreadsheetOfTheDecisions() {
    TempProgramDir dir;
    const int behind = fillHolders(dir.path(), 12);
    const QString pdf = dir.file(QStringLiteral("d.pdf"));
    const QString xlsx = dir.file(QStringLiteral("d.xlsx"));
    const Outcome r = runCommand(
        {"--report", "decizii", "--pdf", pdf, "--xlsx", xlsx, "--date", "31.12.2023"}, dir.path());
    QVERIFY2(r.code == 0, qPrintable(r.err));
    const int pages = int(pdfText(pdf).split(QLatin1Char('\f'), Qt::SkipEmptyParts).size());
    QCOMPARE(pages, behind);
    const Sheet s = readSheet(xlsx);
    const QList<int> rows = rowsStarting(s, 6, QStringLiteral("POPESCU"));
    QCOMPARE(rows.size(), pages);
    const QString last = QString::number(rows.last());
    QCOMPARE(s.at("G" + last).kind, QStringLiteral("text"));
    QCOMPARE(s.at("R" + last).format, QStringLiteral("dd.mm.yyyy"));
    QCOMPARE(s.at("R" + last).value.toDouble(),
             double(QDate(1899, 12, 30).daysTo(QDate(2020, 12, 31))));
}

QTEST_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
