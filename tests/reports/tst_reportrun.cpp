// The common run: status texts, print defaults, dialogs in order and their
// cancel, the guarded preparation, the private directory, what reaches the
// engine from the print settings, and a whole run through the preview.
#include "Qprndlg.h"
#include "RepLocuriNeocupateUnt.h"
#include "ReportFixture.h"
#include "ReportPreview.h"
#include "ReportProgress.h"
#include "ReportRun.h"
#include "SheetReader.h"
#include "StoreError.h"
#include "Values.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {

// Counts what the run does with its forms.
struct FormLog {
    int created = 0;
    int prepared = 0;
    int closed = 0;
};

class LoggedForm : public TRepLocuriNeocupateFrm {
public:
    LoggedForm(FormLog& log, std::function<void()> fail) : m_log(log), m_fail(std::move(fail)) {
        ++m_log.created;
    }
    void prepare(Database& db, const ReportRequest& request) override {
        ++m_log.prepared;
        if (m_fail)
            m_fail();
        TRepLocuriNeocupateFrm::prepare(db, request);
    }
    void close() override {
        ++m_log.closed;
        TRepLocuriNeocupateFrm::close();
    }

private:
    FormLog& m_log;
    std::function<void()> m_fail;
};

ReportKind loggedKind(FormLog& log, std::function<void()> fail = {}) {
    ReportKind k = RepLocuriNeocupateKind();
    k.create = [&log, fail] { return std::make_unique<LoggedForm>(log, fail); };
    return k;
}

// What reached the engine.
struct Captured {
    int calls = 0;
    OutputOptions options;
    int pages = -1;
};

void capture(Captured& c) {
    ReportRun::setOutputFunction(
        [&c](ReportDefinition& def, RowSource& rows, const OutputOptions& o, QWidget*) {
            ++c.calls;
            c.options = o;
            ReportEngine::apply(def, o);
            c.pages = ReportLayout::run(def, rows)->pageCount();
            return OutputResult::Done;
        });
}

void okDialog(QDialog* d) {
    QTest::mouseClick(childOf<QPushButton>(d, "OkBtn"), Qt::LeftButton);
}

} // namespace

class TestReportRun : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void cancelInAnyDialogEndsWithoutForm();
    void wholeRunStatusAndCleanUp();
    void storeErrorWhilePreparing();
    void otherFailureWhilePreparingPassesOn();
    void privateDirectory();
    void fontsStartFromDefaultsMarginsAndPreviewCarryOver();
    void outputOptionsFollowTheSettings();
    void runThroughThePreview();
    void noUnoccupiedPlaceEndsOk();
    void thePreviewSavesTheSameListAsASpreadsheet();

private:
    std::unique_ptr<QLabel> m_panel;
    std::unique_ptr<FakePrinter> m_printer;
};

void TestReportRun::init() {
    PrintSettings::reset();
    m_panel = std::make_unique<QLabel>();
    ReportProgress::setPanel(m_panel.get());
    m_printer = std::make_unique<FakePrinter>();
}

void TestReportRun::cleanup() {
    cancelPendingAnswers();
    ReportRun::setOutputFunction({});
    ReportProgress::setPanel(nullptr);
    m_panel.reset();
    m_printer.reset();
}

void TestReportRun::cancelInAnyDialogEndsWithoutForm() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    FormLog log;
    Captured out;
    capture(out);
    const ReportKind kind = loggedKind(log);
    ReportRequest request;
    request.programDir = reg.dir.path();

    // Cancel in the cemetery dialog, while the defaults text shows.
    QString statusDuringDialog;
    answerModal([&](QDialog* d) {
        statusDuringDialog = m_panel->text();
        QTest::keyClick(d, Qt::Key_Escape);
    });
    ReportRun::run(kind, nullptr, reg.db, request);
    QCOMPARE(statusDuringDialog,
             QStringLiteral("Parametrii de listare impliciti: Arial, 8, A4, Portret"));
    QCOMPARE(m_panel->text(), QStringLiteral(" OK."));
    QCOMPARE(log.created, 0);

    // Cancel in the print setup.
    m_panel->clear();
    answerModal([](QDialog* d) {
        okDialog(d);
        answerModal([](QDialog* p) {
            QCOMPARE(p->objectName(), QStringLiteral("QRPrnDlg"));
            QTest::mouseClick(childOf<QPushButton>(p, "CancelBtn"), Qt::LeftButton);
        });
    });
    ReportRun::run(kind, nullptr, reg.db, request);
    QCOMPARE(m_panel->text(), QStringLiteral(" OK."));
    QCOMPARE(log.created, 0);
    QCOMPARE(out.calls, 0);
}

void TestReportRun::wholeRunStatusAndCleanUp() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
    FormLog log;
    QString statusAtOutput;
    ReportRun::setOutputFunction(
        [&](ReportDefinition& def, RowSource& rows, const OutputOptions& o, QWidget*) {
            statusAtOutput = m_panel->text();
            ReportEngine::apply(def, o);
            return ReportLayout::run(def, rows)->pageCount() == 2 ? OutputResult::Done
                                                                  : OutputResult::Failed;
        });
    answerModal([](QDialog* d) {
        answerModal(okDialog);
        okDialog(d);
    });
    ReportRequest request;
    request.programDir = reg.dir.path();
    ReportRun::run(loggedKind(log), nullptr, reg.db, request);
    QCOMPARE(statusAtOutput, QStringLiteral(" Listez..."));
    QCOMPARE(m_panel->text(), QStringLiteral(" OK."));
    QCOMPARE(log.created, 1);
    QCOMPARE(log.prepared, 1);
    QVERIFY(log.closed >= 1);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void TestReportRun::storeErrorWhilePreparing() {
    TestRegister reg;
    ScriptedPrompts prompts;
    FormLog log;
    Captured out;
    capture(out);
    answerModal([](QDialog* d) {
        answerModal(okDialog);
        okDialog(d);
    });
    ReportRequest request;
    request.programDir = reg.dir.path();
    ReportRun::run(
        loggedKind(log, [] { throw StoreError(QStringLiteral("no such table: Catalog")); }),
        nullptr, reg.db, request);
    QCOMPARE(prompts.texts(), QStringList{QStringLiteral(
                                  "Eroare de acces la baza de date!\n<no such table: Catalog>!")});
    QCOMPARE(prompts.shown().first().icon, PromptIcon::Error);
    QCOMPARE(m_panel->text(), QStringLiteral(" Listez..."));
    QCOMPARE(log.closed, 1);
    QCOMPARE(out.calls, 0);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void TestReportRun::otherFailureWhilePreparingPassesOn() {
    TestRegister reg;
    FormLog log;
    Captured out;
    capture(out);
    answerModal([](QDialog* d) {
        answerModal(okDialog);
        okDialog(d);
    });
    ReportRequest request;
    request.programDir = reg.dir.path();
    bool thrown = false;
    try {
        ReportRun::run(loggedKind(log, [] { throw std::runtime_error("stricat"); }), nullptr,
                       reg.db, request);
    } catch (const std::runtime_error&) {
        thrown = true;
    }
    QVERIFY(thrown);
    QCOMPARE(log.closed, 1);
    QCOMPARE(out.calls, 0);
    QVERIFY(QGuiApplication::overrideCursor() == nullptr);
}

void TestReportRun::privateDirectory() {
    TestRegister reg;
    const QString priv = reg.dir.file(QStringLiteral("PRIV"));
    QVERIFY(!QFileInfo::exists(priv));
    ReportRun::ensurePrivateDir(reg.dir.path());
    QVERIFY(QFileInfo(priv).isDir());
    ReportRun::ensurePrivateDir(reg.dir.path()); // there already

    // A file in its way: the run stops before any dialog.
    TestRegister other;
    QFile blocker(other.dir.file(QStringLiteral("PRIV")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FormLog log;
    bool dialogShown = false;
    answerModal([&](QDialog* d) {
        dialogShown = true;
        d->reject();
    });
    ReportRequest request;
    request.programDir = other.dir.path();
    QString error;
    try {
        ReportRun::run(loggedKind(log), nullptr, other.db, request);
    } catch (const StoreError& e) {
        error = e.message();
    }
    QCOMPARE(error, QStringLiteral("Nu pot crea ") +
                        QDir::toNativeSeparators(other.dir.file(QStringLiteral("PRIV"))));
    QVERIFY(!dialogShown);
    QCOMPARE(log.created, 0);
}

void TestReportRun::fontsStartFromDefaultsMarginsAndPreviewCarryOver() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    Captured out;
    capture(out);
    ReportRequest request;
    request.programDir = reg.dir.path();
    const ReportKind kind = RepLocuriNeocupateKind();

    answerModal([](QDialog* d) {
        answerModal([](QDialog* p) {
            auto* dlg = qobject_cast<TQRPrnDlg*>(p);
            QVERIFY(dlg);
            QCOMPARE(childOf<QLabel>(p, "LabFnt")->text(), QStringLiteral("Arial   8"));
            dlg->setDialogFont(QFont(QStringLiteral("Liberation Serif"), 12), FontPitch::Variable);
            childOf<QSpinBox>(p, "LeftEdit")->setValue(12);
            childOf<QCheckBox>(p, "CBPrev")->setChecked(true);
            okDialog(p);
        });
        okDialog(d);
    });
    ReportRun::run(kind, nullptr, reg.db, request);
    QCOMPARE(out.calls, 1);
    QCOMPARE(out.options.baseFont->family(), QStringLiteral("Liberation Serif"));
    QCOMPARE(out.options.baseFont->pointSize(), 12);
    QCOMPARE(out.options.marginsMm.left(), 12.0);
    QVERIFY(out.options.preview);

    // The next run: the report's font again, the margins and preview kept.
    answerModal([](QDialog* d) {
        answerModal([](QDialog* p) {
            QCOMPARE(childOf<QLabel>(p, "LabFnt")->text(), QStringLiteral("Arial   8"));
            QCOMPARE(childOf<QSpinBox>(p, "LeftEdit")->value(), 12);
            QVERIFY(childOf<QCheckBox>(p, "CBPrev")->isChecked());
            okDialog(p);
        });
        okDialog(d);
    });
    ReportRun::run(kind, nullptr, reg.db, request);
    QCOMPARE(out.calls, 2);
    QCOMPARE(out.options.baseFont->family(), QStringLiteral("Arial"));
    QCOMPARE(out.options.baseFont->pointSize(), 8);
    QCOMPARE(out.options.marginsMm.left(), 12.0);
}

void TestReportRun::outputOptionsFollowTheSettings() {
    PrintSettings s;
    ReportKind kind = RepLocuriNeocupateKind();
    kind.orientation = QPageLayout::Landscape;
    s.fontName = QStringLiteral("Courier");
    ReportRun::resetPrintDefaults(kind, s);
    QCOMPARE(s.fontName, QStringLiteral("Arial"));
    QCOMPARE(s.fontSize, 8);
    QCOMPARE(s.paperSize, PaperA4);
    QCOMPARE(s.orientation, PrintOrientation::Landscape);

    s.marginLeft = 3;
    s.marginTop = 7;
    s.minRight = 9; // measured when the dialog opened
    s.copies = 3;
    s.firstPage = 2;
    s.lastPage = 4;
    s.preview = true;
    m_printer->left = 42; // 4.2 mm: a minimum of 5
    TRepLocuriNeocupateFrm form;
    const OutputOptions o = ReportRun::outputOptions(form.definition(), s, *m_printer);
    QCOMPARE(o.marginsMm, QMarginsF(5, 7, 9, 5));
    QCOMPARE(o.orientation, QPageLayout::Landscape);
    QCOMPARE(m_printer->orient, PrintOrientation::Landscape);
    QCOMPARE(o.paper, QPageSize::A4);
    QCOMPARE(o.copies, 3);
    QCOMPARE(o.firstPage, 2);
    QCOMPARE(o.lastPage, 4);
    QVERIFY(o.preview);
    QCOMPARE(o.baseFont->family(), QStringLiteral("Arial"));
    QCOMPARE(o.title, QStringLiteral("Situatia locurilor ramase neocupate"));

    // The printer's own paper when the settings name none.
    s.paperSize = 0;
    m_printer->paper = QPageSize(QPageSize::Letter);
    QCOMPARE(ReportRun::outputOptions(form.definition(), s, *m_printer).paper, QPageSize::Letter);
}

void TestReportRun::runThroughThePreview() {
    FixedToday today(QDate(2024, 5, 10));
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("C"), QStringLiteral("1"), QStringLiteral("1"));
    PrintSettings::current().preview = true;
    int previewPages = -1;
    QString previewTitle;
    answerModal([&](QDialog* d) {
        // Two cemeteries chosen.
        QTest::mouseClick(childOf<QCheckBox>(d, "CBAll"), Qt::LeftButton, {},
                          QPoint(5, childOf<QCheckBox>(d, "CBAll")->height() / 2));
        auto* list = childOf<QListWidget>(d, "CimList");
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(list->item(i)->text() != QLatin1String("B"));
        answerModal([&](QDialog* p) {
            answerModal([&](QDialog* preview) {
                auto* rp = qobject_cast<ReportPreview*>(preview);
                QVERIFY(rp);
                previewTitle = rp->windowTitle();
                previewPages = childOf<QSpinBox>(rp, "PageBox")->maximum();
                QTest::keyClick(rp, Qt::Key_Escape);
            });
            okDialog(p);
        });
        okDialog(d);
    });
    ReportRequest request;
    request.programDir = reg.dir.path();
    ReportRun::menuCommand(*findReport(QStringLiteral("neocupate")), nullptr, reg.db,
                           reg.dir.path());
    QCOMPARE(previewTitle, QStringLiteral("Situatia locurilor ramase neocupate"));
    QCOMPARE(previewPages, 2);
    QCOMPARE(m_panel->text(), QStringLiteral(" OK."));
}

void TestReportRun::noUnoccupiedPlaceEndsOk() {
    TestRegister reg;
    reg.addPlace({QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"),
                  QStringLiteral("1"), QStringLiteral("1"), QStringLiteral("1800101221144"),
                  QStringLiteral("POP")});
    PrintSettings::current().preview = true;
    bool previewShown = false;
    answerModal([&](QDialog* d) {
        answerModal([&](QDialog* p) {
            answerModal([&](QDialog* x) {
                previewShown = true;
                x->reject();
            });
            okDialog(p);
        });
        okDialog(d);
    });
    ReportRequest request;
    request.programDir = reg.dir.path();
    ReportRun::run(RepLocuriNeocupateKind(), nullptr, reg.db, request);
    QTest::qWait(30);
    QVERIFY(!previewShown);
    QCOMPARE(m_panel->text(), QStringLiteral(" OK."));
}

void TestReportRun::thePreviewSavesTheSameListAsASpreadsheet() {
    TestRegister reg;
    reg.addFree(QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("1"));
    reg.addFree(QStringLiteral("B"), QStringLiteral("1"), QStringLiteral("1"));
    ScriptedPrompts prompts;
    FormLog log;
    const QString path = reg.dir.file(QStringLiteral("lista.xlsx"));
    bool saved = false, refused = true;
    QString error;
    ReportRun::setOutputFunction(
        [&](ReportDefinition&, RowSource&, const OutputOptions& o, QWidget*) {
            // While the preview is open, as the button does it.
            if (!o.writeSheet)
                return OutputResult::Failed;
            saved = o.writeSheet(path, {}, &error);
            QString failure;
            refused = !o.writeSheet(reg.dir.file(QStringLiteral("nu/exista.xlsx")), {}, &failure) &&
                      failure.startsWith(QStringLiteral("Nu pot scrie fisierul"));
            return OutputResult::Done;
        });
    answerModal([](QDialog* d) {
        answerModal(okDialog);
        okDialog(d);
    });
    ReportRequest request;
    request.programDir = reg.dir.path();
    ReportRun::run(loggedKind(log), nullptr, reg.db, request);
    QVERIFY2(saved, qPrintable(error));
    QVERIFY(refused);
    // Each save runs a form of its own; every form is closed.
    QCOMPARE(log.created, 3);
    QCOMPARE(log.closed, 3);
    const Sheet s = readSheet(path);
    QCOMPARE(s.name, RepLocuriNeocupateKind().caption);
    QStringList lines;
    for (int r = 1; r <= s.rows; ++r)
        lines << s.row(r).join(QLatin1Char('|'));
    QVERIFY2(lines.contains(QStringLiteral("Cimitirul: A")), qPrintable(lines.join('\n')));
    QVERIFY(lines.contains(QStringLiteral("Cimitirul: B")));
    QVERIFY(lines.contains(QStringLiteral("Nr. crt.|Sectorul|Parcela|Randul|Locul|Observatii")));
}

QTEST_MAIN(TestReportRun)
#include "tst_reportrun.moc"
