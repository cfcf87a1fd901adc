// A report written as a spreadsheet: read back cell by cell, against the
// pages the same definition lays out.
#include "ReportEngine.h"
#include "ReportPreview.h"
#include "ReportSheet.h"
#include "SheetReader.h"
#include "StoreError.h"
#include "TestSupport.h"
#include "Values.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

double serial(const QDate& d) {
    return double(QDate(1899, 12, 30).daysTo(d));
}

VectorRowSource sampleRows() {
    const auto row = [](const char* cem, const char* name, double sum, double nr) {
        return QVariantList{QString::fromLatin1(cem),
                            QString::fromLatin1(name),
                            QStringLiteral("1850101123456"),
                            QStringLiteral("2024-03-05"),
                            sum,
                            nr};
    };
    return VectorRowSource({QStringLiteral("Cimitir"), QStringLiteral("Nume"),
                            QStringLiteral("CNP"), QStringLiteral("Data"), QStringLiteral("Suma"),
                            QStringLiteral("Nr")},
                           {row("Bellu", "ALBU", 10.5, 1001), row("Bellu", "ASCUNS", 99, 1),
                            row("Bellu", "BRAD", 20.25, 1002), row("Ghencea", "CRAI", 5, 1003)});
}

// A ruled list as the office's lists are made: title and date, a heading
// over two columns, headings in a ruled row, a counted row number, groups
// with totals, a row the detail's hook leaves out, and a column for notes
// by hand with nothing under it.
struct Sample {
    ReportDefinition def;
    int counter = 1;
    Sample() {
        def.title = QStringLiteral("Proba");
        Band ph;
        ph.height = 26;
        ph.add(Element::label(40, 1, 100, 7, QStringLiteral("Lista de proba")));
        ph.add(Element::label(50, 9, 25, 6, QStringLiteral("la data de:")));
        ph.add(Element::label(76, 9, 30, 6, QStringLiteral("05.03.2024")));
        ph.add(Element::label(90, 14, 40, 4, QStringLiteral("(Platit)"))).asHeading();
        ph.add(Element::rect(0, 19, 180, 6));
        const double edges[] = {0, 15, 60, 90, 110, 130, 150, 180};
        const char* names[] = {"Nr. crt.", "Numele",       "CNP",       "Data",
                               "Suma",     "Nr. chitanta", "Observatii"};
        for (int i = 0; i < 7; ++i)
            ph.add(Element::label(edges[i], 20, edges[i + 1] - edges[i], 5,
                                  QString::fromLatin1(names[i])))
                .asHeading();
        def.pageHeader = ph;

        Group g;
        g.key = QStringLiteral("Cimitir");
        g.header.height = 6;
        g.header.add(Element::label(2, 1, 18, 4, QStringLiteral("Cimitirul: ")));
        g.header.add(Element::data(20, 1, 100, 4, QStringLiteral("Cimitir")));
        g.header.beforePrint = [this](const PrintContext&) {
            counter = 1;
            return true;
        };
        Band foot;
        foot.height = 6;
        foot.add(Element::label(20, 1, 60, 4, QStringLiteral("Total cimitir")));
        foot.add(Element::total(150, 1, 30, 4, QStringLiteral("Suma"), true));
        g.footer = foot;
        def.groups.push_back(g);

        Band& d = def.detail;
        d.height = 5;
        d.beforePrint = [](const PrintContext& row) {
            return row.value(QStringLiteral("Nume")).toString() != QLatin1String("ASCUNS");
        };
        d.add(Element::label(1, 0, 13, 4, QString())).inSheetAs(SheetKind::Count).onPrint =
            [this](QString& text, const PrintContext&) { text = QString::number(counter++); };
        d.add(Element::data(16, 0, 43, 4, QStringLiteral("Nume")));
        d.add(Element::data(61, 0, 28, 4, QStringLiteral("CNP")));
        d.add(Element::data(91, 0, 18, 4, QStringLiteral("Data")))
            .inSheetAs(SheetKind::Date)
            .format = [](const QVariant& v) { return Values::dateToText(Values::storedToDate(v)); };
        d.add(Element::data(111, 0, 18, 4, QStringLiteral("Suma")))
            .inSheetAs(SheetKind::Amount)
            .format = [](const QVariant& v) { return Values::moneyToText(v.toDouble()); };
        d.add(Element::data(131, 0, 18, 4, QStringLiteral("Nr")));

        Band sum;
        sum.height = 6;
        sum.add(Element::label(20, 1, 60, 4, QStringLiteral("Total general")));
        sum.add(Element::total(150, 1, 30, 4, QStringLiteral("Suma"), true));
        def.summary = sum;
    }
};

} // namespace

class TestReportSheet : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Values::setDateLocale(QLocale(QLocale::Romanian, QLocale::Romania)); }

    void rowsSitUnderTheirHeadingsWithTheirTypes() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lista.xlsx"));
        Sample s;
        VectorRowSource rows = sampleRows();
        qint64 written = 0;
        QCOMPARE(
            ReportSheet::write(s.def, rows, path, QStringLiteral("Lista de proba"), {}, &written),
            ReportSheet::Result::Written);
        QCOMPARE(written, 3);
        const Sheet sh = readSheet(path);
        QVERIFY(sh.ok);
        QCOMPARE(sh.name, QStringLiteral("Lista de proba"));
        QCOMPARE(sh.row(1), QStringList{QStringLiteral("Lista de proba")});
        QVERIFY(sh.at("A1").bold);
        QCOMPARE(sh.row(2), QStringList{QStringLiteral("la data de: 05.03.2024")});
        QCOMPARE(sh.row(3), QStringList());
        // The heading over two columns stands above the first of them.
        QCOMPARE(sh.at("D4").value, QStringLiteral("(Platit)"));
        QCOMPARE(sh.row(5), (QStringList{"Nr. crt.", "Numele", "CNP", "Data", "Suma",
                                         "Nr. chitanta", "Observatii"}));
        QVERIFY(sh.at("G5").bold);
        QCOMPARE(sh.frozenAt, QStringLiteral("A6"));

        QCOMPARE(sh.at("A6").value, QStringLiteral("Cimitirul: Bellu"));
        QVERIFY(sh.at("A6").bold);
        QCOMPARE(sh.row(7).mid(0, 2), (QStringList{"1", "ALBU"}));
        QCOMPARE(sh.at("A7").kind, QStringLiteral("number"));
        // The personal code and the receipt number stay texts.
        QCOMPARE(sh.at("C7").kind, QStringLiteral("text"));
        QCOMPARE(sh.at("C7").value, QStringLiteral("1850101123456"));
        QCOMPARE(sh.at("F7").kind, QStringLiteral("text"));
        QCOMPARE(sh.at("F7").value, QStringLiteral("1001"));
        QCOMPARE(sh.at("D7").kind, QStringLiteral("number"));
        QCOMPARE(sh.at("D7").value.toDouble(), serial(QDate(2024, 3, 5)));
        QCOMPARE(sh.at("D7").format, QStringLiteral("dd.mm.yyyy"));
        QCOMPARE(sh.at("E7").kind, QStringLiteral("number"));
        QCOMPARE(sh.at("E7").value.toDouble(), 10.5);
        QCOMPARE(sh.at("E7").format, QStringLiteral("0.00"));
        QVERIFY(!sh.at("E7").bold);
        // The row the hook leaves out is not there, nor counted.
        QCOMPARE(sh.row(8).mid(0, 2), (QStringList{"2", "BRAD"}));
        // The group's total: bold, a number, under the amounts.
        QCOMPARE(sh.at("A9").value, QStringLiteral("Total cimitir"));
        QVERIFY(sh.at("A9").bold);
        QCOMPARE(sh.at("E9").value.toDouble(), 30.75);
        QVERIFY(sh.at("E9").bold);
        QCOMPARE(sh.at("E9").format, QStringLiteral("0.00"));
        QCOMPARE(sh.at("A10").value, QStringLiteral("Cimitirul: Ghencea"));
        QCOMPARE(sh.row(11).mid(0, 2), (QStringList{"1", "CRAI"}));
        QCOMPARE(sh.at("E12").value.toDouble(), 5.0);
        QCOMPARE(sh.at("A13").value, QStringLiteral("Total general"));
        QCOMPARE(sh.at("E13").value.toDouble(), 35.75);
        QCOMPARE(sh.rows, 13);
        // Wide enough for the texts under each heading; the titles running
        // over the row do not widen the first column.
        QVERIFY(sh.widths.value(3) >= 13);
        QVERIFY(sh.widths.value(1) < 14);

        // The same totals as on paper.
        Sample paper;
        VectorRowSource again = sampleRows();
        const std::unique_ptr<PageModel> model = ReportLayout::run(paper.def, again);
        QStringList texts;
        for (int p = 0; p < model->pageCount(); ++p)
            texts << model->pageTexts(p);
        QVERIFY(texts.contains(Values::moneyToText(30.75)));
        QVERIFY(texts.contains(Values::moneyToText(35.75)));
        QVERIFY(!texts.contains(QStringLiteral("ASCUNS")));
    }

    void nothingIsLostOnTheWayOut() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("lista.xlsx"));
        QFile older(path);
        QVERIFY(older.open(QIODevice::WriteOnly));
        older.write("lista de ieri");
        older.close();

        // No rows: no file written, the caller decides about the older one.
        Sample s;
        VectorRowSource none({QStringLiteral("Cimitir")}, {});
        QCOMPARE(ReportSheet::write(s.def, none, path, QStringLiteral("x")),
                 ReportSheet::Result::Empty);
        // Cancelled half way: the older file as it was, no partial file beside it.
        std::vector<QVariantList> many(3000,
                                       QVariantList{QStringLiteral("Bellu"), QStringLiteral("ALBU"),
                                                    QString(), QString(), 1.0, 2.0});
        VectorRowSource rows(sampleRows().fieldNames(), many);
        QCOMPARE(ReportSheet::write(s.def, rows, path, QStringLiteral("x"),
                                    [](qint64 done, int) { return done < 1000; }),
                 ReportSheet::Result::Cancelled);
        QVERIFY(older.open(QIODevice::ReadOnly));
        QCOMPARE(older.readAll(), QByteArray("lista de ieri"));
        older.close();
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("lista.xlsx")});
        // A place that cannot be written: a Romanian message.
        VectorRowSource one = sampleRows();
        try {
            ReportSheet::write(s.def, one, dir.filePath(QStringLiteral("nu/exista.xlsx")),
                               QStringLiteral("x"));
            QFAIL("written where it cannot be");
        } catch (const StoreError& e) {
            QVERIFY(e.message().startsWith(QStringLiteral("Nu pot scrie fisierul")));
        }
    }

    void previewOffersTheSpreadsheetOnItsOwnKey() {
        Sample s;
        VectorRowSource rows = sampleRows();
        const std::unique_ptr<PageModel> model = ReportLayout::run(s.def, rows);
        ReportPreview preview(*model);
        auto* button = preview.findChild<QPushButton*>(QStringLiteral("SheetButton"));
        QVERIFY(button);
        QVERIFY(button->isHidden());
        QString asked;
        preview.setSheetWriter([&asked](const QString& path, const LayoutProgress&, QString*) {
            asked = path;
            return true;
        });
        QVERIFY(!button->isHidden());
        // Its Alt key is its own among the preview's buttons.
        QSet<QChar> keys;
        for (QPushButton* b : preview.findChildren<QPushButton*>()) {
            const qsizetype amp = b->text().indexOf(QLatin1Char('&'));
            if (amp < 0)
                continue;
            const QChar key = b->text().at(amp + 1).toLower();
            QVERIFY2(!keys.contains(key), qPrintable(b->text()));
            keys.insert(key);
        }
        QVERIFY(keys.contains(QLatin1Char('e')));
        QVERIFY(preview.sheetProposal().endsWith(QStringLiteral("Proba.xlsx")));
        QTemporaryDir dir;
        preview.askSheetPath = [&dir] { return dir.filePath(QStringLiteral("lista")); };
        button->click();
        QCOMPARE(asked, dir.filePath(QStringLiteral("lista.xlsx")));
    }
};

QTEST_MAIN(TestReportSheet)
#include "tst_reportsheet.moc"
