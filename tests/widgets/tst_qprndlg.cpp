// The print setup: the printable area and its rounding, the paper table, the
// dialog's page range, margins, orientation and margin check, and what it
// leaves in the shared print settings.
#include "PrintSettings.h"
#include "Qprndlg.h"
#include "TestSupport.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>
#include <functional>

namespace {

// A printer with any paper and unprintable border. At 254 dpi one pixel is
// exactly a tenth of a millimetre.
class FakePrinter : public PrintDevice {
public:
    FakePrinter() { install(this); }
    ~FakePrinter() override { install(nullptr); }

    QString name = QStringLiteral("Imprimanta de test");
    PrintOrientation orient = PrintOrientation::Portrait;
    QPageSize paper = QPageSize(QPageSize::A4);
    int dpi = 254;
    // Unprintable borders in pixels of the current orientation.
    int left = 0, top = 0, right = 0, bottom = 0;
    std::function<bool()> onSetup;
    int setups = 0;

    QString printerName() const override { return name; }
    PrintOrientation orientation() const override { return orient; }
    void setOrientation(PrintOrientation o) override { orient = o; }
    QPageSize pageSize() const override { return paper; }
    bool setPageSize(const QPageSize& s) override {
        paper = s;
        return true;
    }
    PrinterMetrics metrics() const override {
        QSizeF mm = paper.size(QPageSize::Millimeter);
        if (orient == PrintOrientation::Landscape)
            mm.transpose();
        PrinterMetrics m;
        m.resolutionX = m.resolutionY = dpi;
        m.pageWidth = qRound(mm.width() / 25.4 * dpi);
        m.pageHeight = qRound(mm.height() / 25.4 * dpi);
        m.offsetX = left;
        m.offsetY = top;
        m.printableWidth = m.pageWidth - left - right;
        m.printableHeight = m.pageHeight - top - bottom;
        return m;
    }
    bool setup(QWidget*) override {
        ++setups;
        return onSetup ? onSetup() : false;
    }
};

template <class W> W* child(QWidget& dlg, const char* name) {
    W* w = dlg.findChild<W*>(QLatin1String(name));
    if (!w)
        qFatal("no control %s", name);
    return w;
}

// Types a whole new value into a spin edit, as the user would.
void typeInto(QSpinBox* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

} // namespace

class TestPrintSetup : public QObject {
    Q_OBJECT
private slots:
    void init() { PrintSettings::reset(); }

    void minimumMarginRounding_data() {
        QTest::addColumn<int>("pixels");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<int>("mm");
        QTest::newRow("4.2 mm goes up") << 42 << 254 << 5;
        QTest::newRow("exactly 4 mm stays") << 40 << 254 << 4;
        QTest::newRow("exactly 5 mm gains one") << 50 << 254 << 6;
        QTest::newRow("a hair over 4 mm goes up") << 95 << 600 << 5; // 4.02 mm
        QTest::newRow("no border") << 0 << 600 << 0;
        QTest::newRow("exactly 1 mm at 1270 dpi") << 50 << 1270 << 2;
    }
    void minimumMarginRounding() {
        QFETCH(int, pixels);
        QFETCH(int, dpi);
        QFETCH(int, mm);
        QCOMPARE(minimumMarginMm(pixels, dpi), mm);

        // The same border on each side of an A4 page gives the same minimum.
        FakePrinter p;
        p.dpi = dpi;
        p.left = p.top = p.right = p.bottom = pixels;
        const PrintableArea a = MeasurePrintableArea();
        QCOMPARE(a.left, mm);
        QCOMPARE(a.top, mm);
        QCOMPARE(a.right, mm);
        QCOMPARE(a.bottom, mm);
    }

    void paperDimensionsFollowOrientation() {
        FakePrinter p;
        PrintableArea a = MeasurePrintableArea();
        QCOMPARE(a.paperWidth, 210);
        QCOMPARE(a.paperHeight, 297);
        p.orient = PrintOrientation::Landscape;
        a = MeasurePrintableArea();
        QCOMPARE(a.paperWidth, 297);
        QCOMPARE(a.paperHeight, 210);
        QCOMPARE(roundHalfEven(2.5), 2);
        QCOMPARE(roundHalfEven(3.5), 4);
        QCOMPARE(roundHalfEven(3.4999), 3);
    }

    void paperTable() {
        QCOMPARE(paperPrinterCode(0), 0);
        for (int n = 1; n <= 23; ++n)
            QCOMPARE(paperPrinterCode(n), n);
        for (int n = 24; n < PaperTableSize; ++n)
            QVERIFY(paperPrinterCode(n) > 23);
        QCOMPARE(paperPrinterCode(PaperTableSize), -1);
        QVERIFY(!paperPageSize(0));
        QVERIFY(!paperPageSize(PaperCustom));
        QCOMPARE(paperPageSize(PaperA4)->id(), QPageSize::A4);
        // Each named size is the paper its printer code stands for, and reads
        // back as its own number (11 x 17 in is the tabloid of number 3).
        for (int n = 1; n < PaperCustom; ++n) {
            const QPageSize size = *paperPageSize(n);
            if (n != 14)
                QCOMPARE(size.windowsId(), n == 17 ? 3 : paperPrinterCode(n));
            QCOMPARE(paperNumber(size), n == 17 ? 3 : n);
        }
        QCOMPARE(paperNumber(QPageSize()), 0);
        QCOMPARE(paperNumber(QPageSize(QPageSize::A0)), 0);
        QCOMPARE(paperNumber(QPageSize(QSizeF(210, 297), QPageSize::Millimeter)), PaperA4);
        QCOMPARE(paperNumber(QPageSize(QSizeF(100, 100), QPageSize::Millimeter)), PaperCustom);

        FakePrinter p;
        QCOMPARE(GetPrinterPaper(), PaperA4);
        QVERIFY(SetPrinterPaper(11));
        QCOMPARE(p.paper.id(), QPageSize::A5);
        QCOMPARE(GetPrinterPaper(), 11);
        QVERIFY(!SetPrinterPaper(0));
        QVERIFY(!SetPrinterPaper(PaperCustom));
        QCOMPARE(p.paper.id(), QPageSize::A5);
        p.paper = QPageSize(QPageSize::A0);
        QCOMPARE(GetPrinterPaper(), 0);
    }

    void landscapeTurnsThePrintersBorders() {
#ifdef Q_OS_WIN
        QSKIP("Windows drivers report the borders of the orientation in use");
#endif
        // A driver that reports its printable area for portrait only (CUPS):
        // 6.35 mm at the sides, 12.7 mm at top and bottom of an A4 sheet.
        QPrinterDevice device;
        device.printer()->setOutputFormat(QPrinter::PdfFormat);
        device.printer()->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                                    QMarginsF(), QPageLayout::Millimeter,
                                                    QMarginsF(6.35, 12.7, 6.35, 12.7)));
        PrintableArea a = MeasurePrintableArea(device);
        QCOMPARE((QList<int>{a.left, a.top, a.right, a.bottom}), (QList<int>{7, 13, 7, 13}));
        device.setOrientation(PrintOrientation::Landscape);
        a = MeasurePrintableArea(device);
        QCOMPARE((QList<int>{a.left, a.top, a.right, a.bottom}), (QList<int>{13, 7, 13, 7}));
        QCOMPARE(a.paperWidth, 297);

        // The print setup of a landscape list raises the margins to those
        // borders, and the margin check accepts them.
        ScriptedPrompts prompts;
        PrintSettings s;
        s.orientation = PrintOrientation::Landscape;
        TQRPrnDlg dlg(nullptr, s, device);
        const QList<int> shown{child<QSpinBox>(dlg, "LeftEdit")->value(),
                               child<QSpinBox>(dlg, "TopEdit")->value(),
                               child<QSpinBox>(dlg, "RightEdit")->value(),
                               child<QSpinBox>(dlg, "BottomEdit")->value()};
        QCOMPARE(shown, (QList<int>{13, 7, 13, 7}));
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(prompts.shown().isEmpty());
        QCOMPARE((QList<int>{s.marginLeft, s.marginTop, s.marginRight, s.marginBottom}), shown);
    }

    void everyControlHasItsOwnAltKey() {
        FakePrinter p;
        TQRPrnDlg dlg;
        QMultiMap<QChar, QString> keys;
        auto add = [&](const QString& text) {
            const int at = text.indexOf(QLatin1Char('&'));
            if (at >= 0 && at + 1 < text.size())
                keys.insert(text.at(at + 1).toLower(), text);
        };
        for (const QAbstractButton* b : dlg.findChildren<QAbstractButton*>())
            add(b->text());
        for (const QLabel* l : dlg.findChildren<QLabel*>())
            if (l->buddy())
                add(l->text());
        const QTabWidget* tabs = child<QTabWidget>(dlg, "PageControl");
        for (int i = 0; i < tabs->count(); ++i)
            add(tabs->tabText(i));
        for (const QChar k : keys.uniqueKeys())
            QVERIFY2(keys.count(k) == 1, qPrintable(QStringList(keys.values(k)).join(" / ")));
        QVERIFY(keys.size() >= 12);

        // Alt+P prints.
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QTest::keyClick(dlg.windowHandle(), Qt::Key_P, Qt::AltModifier);
        QTRY_COMPARE(dlg.result(), int(QDialog::Accepted)); // a mnemonic clicks animated
        QVERIFY(!dlg.isVisible());
    }

    void firstUseDefaults() {
        FakePrinter p;
        TQRPrnDlg dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Setari pentru listarea rapoarte"));
        QCOMPARE(child<QTabWidget>(dlg, "PageControl")->currentIndex(), 0);
        QCOMPARE(child<QTabWidget>(dlg, "PageControl")->tabText(0), QStringLiteral("Listare "));
        QVERIFY(!child<QCheckBox>(dlg, "CBPrev")->isChecked());
        QVERIFY(child<QRadioButton>(dlg, "RBAll")->isChecked());
        QVERIFY(!child<QSpinBox>(dlg, "FirstPageSpin")->isEnabled());
        QVERIFY(!child<QSpinBox>(dlg, "LastPageSpin")->isEnabled());
        QCOMPARE(child<QSpinBox>(dlg, "CopiesSpin")->value(), 1);
        for (const char* e : {"LeftEdit", "RightEdit", "TopEdit", "BottomEdit"})
            QCOMPARE(child<QSpinBox>(dlg, e)->value(), 5);
        QCOMPARE(child<QSpinBox>(dlg, "LeftEdit")->maximum(), 210);
        QCOMPARE(child<QSpinBox>(dlg, "TopEdit")->maximum(), 297);
        QVERIFY(child<QRadioButton>(dlg, "CBPortrait")->isChecked());
        QCOMPARE(child<QLabel>(dlg, "LabPrn")->text(), p.name);
        // No font named yet: a fixed-pitch font at 10 points.
        QCOMPARE(dlg.dialogPitch(), FontPitch::Fixed);
        QVERIFY(!dlg.dialogFont().family().isEmpty());
        QCOMPARE(child<QLabel>(dlg, "LabFnt")->text(), dlg.dialogFont().family() + "   10");
    }

    void openingRaisesMarginsToThePrinter() {
        FakePrinter p;
        p.left = 72;  // 7.2 mm -> 8
        p.bottom = 2; // 0.2 mm -> 1
        PrintSettings& s = PrintSettings::current();
        s.marginTop = 400; // beyond the paper
        s.fontName = QStringLiteral("Arial");
        s.fontSize = 8;
        TQRPrnDlg dlg;
        QCOMPARE(s.minLeft, 8);
        QCOMPARE(s.minBottom, 1);
        QCOMPARE(s.minTop, 0);
        QCOMPARE(child<QSpinBox>(dlg, "LeftEdit")->value(), 8);
        QCOMPARE(child<QSpinBox>(dlg, "TopEdit")->value(), 0);
        QCOMPARE(child<QSpinBox>(dlg, "BottomEdit")->value(), 5);
        QCOMPARE(child<QLabel>(dlg, "LabFnt")->text(), QStringLiteral("Arial   8"));
    }

    void openingSetsOrientationAndPaper() {
        FakePrinter p;
        PrintSettings& s = PrintSettings::current();
        s.orientation = PrintOrientation::Landscape;
        s.paperSize = 11; // A5
        TQRPrnDlg dlg;
        QCOMPARE(p.orient, PrintOrientation::Landscape);
        QCOMPARE(p.paper.id(), QPageSize::A5);
        QVERIFY(child<QRadioButton>(dlg, "CBLandscape")->isChecked());
        QCOMPARE(child<QSpinBox>(dlg, "LeftEdit")->maximum(), 210);
        QCOMPARE(child<QSpinBox>(dlg, "TopEdit")->maximum(), 148);

        // Number 0 leaves the printer's own paper alone.
        p.paper = QPageSize(QPageSize::Letter);
        s.paperSize = 0;
        TQRPrnDlg again;
        QCOMPARE(p.paper.id(), QPageSize::Letter);
    }

    void marginsNeverExceedThePaper() {
        FakePrinter p;
        TQRPrnDlg dlg;
        dlg.show();
        auto* left = child<QSpinBox>(dlg, "LeftEdit");
        auto* right = child<QSpinBox>(dlg, "RightEdit");
        auto* top = child<QSpinBox>(dlg, "TopEdit");
        auto* bottom = child<QSpinBox>(dlg, "BottomEdit");
        typeInto(right, "70");
        typeInto(left, "150");
        QCOMPARE(left->value(), 140);
        QCOMPARE(right->value(), 70);
        typeInto(bottom, "60");
        typeInto(top, "250");
        QCOMPARE(top->value(), 237);
        // A margin that fits stays as typed.
        typeInto(left, "100");
        QCOMPARE(left->value(), 100);
    }

    void pageRange() {
        FakePrinter p;
        TQRPrnDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* first = child<QSpinBox>(dlg, "FirstPageSpin");
        auto* last = child<QSpinBox>(dlg, "LastPageSpin");
        QTest::mouseClick(child<QRadioButton>(dlg, "RBSel"), Qt::LeftButton);
        QVERIFY(first->isEnabled());
        QVERIFY(last->isEnabled());
        QCOMPARE(QApplication::focusWidget(), first);
        QCOMPARE(last->value(), 1);
        typeInto(first, "3");
        QCOMPARE(last->value(), 3);
        typeInto(last, "2");
        QCOMPARE(last->value(), 3);
        typeInto(last, "7");
        QCOMPARE(last->value(), 7);
        QTest::mouseClick(child<QRadioButton>(dlg, "RBAll"), Qt::LeftButton);
        QVERIFY(!first->isEnabled());
        QVERIFY(!last->isEnabled());

        // "all" stores 0 and 0; "partial" the two pages.
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(PrintSettings::current().firstPage, 0);
        QCOMPARE(PrintSettings::current().lastPage, 0);

        TQRPrnDlg again;
        child<QRadioButton>(again, "RBSel")->click();
        child<QSpinBox>(again, "FirstPageSpin")->setValue(3);
        child<QSpinBox>(again, "CopiesSpin")->setValue(4);
        child<QPushButton>(again, "OkBtn")->click();
        QCOMPARE(PrintSettings::current().firstPage, 3);
        QCOMPARE(PrintSettings::current().lastPage, 3);
        QCOMPARE(PrintSettings::current().copies, 4);
        // The range and the copies start afresh every time.
        TQRPrnDlg third;
        QVERIFY(child<QRadioButton>(third, "RBAll")->isChecked());
        QCOMPARE(child<QSpinBox>(third, "FirstPageSpin")->value(), 1);
        QCOMPARE(child<QSpinBox>(third, "CopiesSpin")->value(), 1);
    }

    void marginCheckAnsweredNo() {
        FakePrinter p;
        ScriptedPrompts prompts;
        TQRPrnDlg dlg;
        p.left = 42; // 5 mm once the dialog is open: the check measures again
        child<QSpinBox>(dlg, "LeftEdit")->setValue(3);
        prompts.queueAnswer(PromptAnswer::No);
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(prompts.shown().size(), 1);
        const auto& q = prompts.shown().first();
        QCOMPARE(q.text, QStringLiteral("Cel putin o margine este prea mica pentru a intra în "
                                        "zona imprimabila!\nDoriti ajustarea marginilor "
                                        "respective?"));
        QCOMPARE(q.icon, PromptIcon::Warning);
        QCOMPARE(q.buttons, PromptButtons::YesNo);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const PrintSettings& s = PrintSettings::current();
        QCOMPARE(s.marginLeft, 3);
        // The report still keeps out of the unprintable border.
        QCOMPARE(effectiveMargins(s).left, 5);
        QCOMPARE(effectiveMargins(s).right, 5);
    }

    void marginCheckAnsweredYes() {
        FakePrinter p;
        p.left = 42;
        p.top = 30;
        ScriptedPrompts prompts;
        TQRPrnDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* left = child<QSpinBox>(dlg, "LeftEdit");
        auto* top = child<QSpinBox>(dlg, "TopEdit");
        left->setValue(3);
        top->setValue(1);
        prompts.queueAnswer(PromptAnswer::Yes);
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(prompts.shown().size(), 1);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(left->value(), 5);
        QCOMPARE(top->value(), 4);
        QCOMPARE(child<QTabWidget>(dlg, "PageControl")->currentIndex(), 1);
        QCOMPARE(QApplication::focusWidget(), top);       // the last one raised
        QCOMPARE(PrintSettings::current().marginLeft, 5); // nothing stored yet

        // Now all fit: no question, the dialog closes confirmed.
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(prompts.shown().size(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(PrintSettings::current().marginLeft, 5);
        QCOMPARE(PrintSettings::current().marginTop, 4);
    }

    void marginCheckResetsMarginsThatFillThePaper() {
        FakePrinter p;
        ScriptedPrompts prompts;
        TQRPrnDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* left = child<QSpinBox>(dlg, "LeftEdit");
        auto* right = child<QSpinBox>(dlg, "RightEdit");
        right->setValue(200);
        left->setValue(3);
        p.left = 42;  // 5 mm: raising the left makes 205
        p.right = 62; // 6.2 mm -> 7
        right->setValue(206);
        QCOMPARE(right->value(), 206);
        prompts.queueAnswer(PromptAnswer::Yes);
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(left->value(), 5);
        QCOMPARE(right->value(), 7);
        QCOMPARE(QApplication::focusWidget(), left);
    }

    void orientationSwitch() {
        FakePrinter p;
        TQRPrnDlg dlg;
        dlg.show();
        auto* left = child<QSpinBox>(dlg, "LeftEdit");
        left->setValue(150);
        auto* image = child<QLabel>(dlg, "OrientImage");
        const QImage portraitImage = image->pixmap().toImage();
        QTest::mouseClick(child<QRadioButton>(dlg, "CBLandscape"), Qt::LeftButton);
        QCOMPARE(p.orient, PrintOrientation::Landscape);
        QCOMPARE(dlg.dialogOrientation(), PrintOrientation::Landscape);
        QCOMPARE(left->maximum(), 297);
        QCOMPARE(child<QSpinBox>(dlg, "TopEdit")->maximum(), 210);
        QCOMPARE(left->value(), 150);
        // The picture lies on its side: wider than tall.
        auto extent = [](const QImage& img) {
            QRect box;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (qAlpha(img.pixel(x, y)) > 0)
                        box |= QRect(x, y, 1, 1);
            return box;
        };
        const QRect tall = extent(portraitImage), wide = extent(image->pixmap().toImage());
        QVERIFY(tall.height() > tall.width());
        QVERIFY(wide.width() > wide.height());
        child<QPushButton>(dlg, "OkBtn")->click();
        QCOMPARE(PrintSettings::current().orientation, PrintOrientation::Landscape);
    }

    void cancelRestores() {
        FakePrinter p;
        PrintSettings& s = PrintSettings::current();
        s.fontName = QStringLiteral("Arial");
        s.fontSize = 8;
        TQRPrnDlg dlg;
        child<QRadioButton>(dlg, "CBLandscape")->click();
        QCOMPARE(p.orient, PrintOrientation::Landscape);
        child<QSpinBox>(dlg, "LeftEdit")->setValue(20);
        child<QCheckBox>(dlg, "CBPrev")->setChecked(true);
        dlg.setDialogFont(QFont(QStringLiteral("Courier")), FontPitch::Fixed);
        child<QPushButton>(dlg, "CancelBtn")->click();
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(p.orient, PrintOrientation::Portrait);
        QCOMPARE(s.orientation, PrintOrientation::Portrait);
        QCOMPARE(s.marginLeft, 5);
        QVERIFY(!s.preview);
        QCOMPARE(s.fontName, QStringLiteral("Arial"));
        QCOMPARE(s.fontSize, 8);
    }

    void confirmStoresTheChoices() {
        FakePrinter p;
        p.paper = QPageSize(QPageSize::A3);
        TQRPrnDlg dlg;
        child<QCheckBox>(dlg, "CBPrev")->setChecked(true);
        QFont f(QStringLiteral("A font name that is much longer than thirty characters"));
        f.setPointSize(12);
        dlg.setDialogFont(f, FontPitch::Variable);
        child<QSpinBox>(dlg, "BottomEdit")->setValue(12);
        child<QPushButton>(dlg, "OkBtn")->click();
        const PrintSettings& s = PrintSettings::current();
        QCOMPARE(s.fontName, QStringLiteral("A font name that is much longe"));
        QCOMPARE(s.fontSize, 12);
        QCOMPARE(s.fontPitch, FontPitch::Variable);
        QVERIFY(s.preview);
        QCOMPARE(s.paperSize, 8);
        QCOMPARE(s.marginBottom, 12);
        // The preview choice and the margins carry over to the next dialog.
        TQRPrnDlg next;
        QVERIFY(child<QCheckBox>(next, "CBPrev")->isChecked());
        QCOMPARE(child<QSpinBox>(next, "BottomEdit")->value(), 12);
    }

    void printerSetupButton() {
        FakePrinter p;
        TQRPrnDlg dlg;
        p.onSetup = [&p] {
            p.name = QStringLiteral("Alta imprimanta");
            p.orient = PrintOrientation::Landscape;
            p.paper = QPageSize(QPageSize::A3);
            return true;
        };
        child<QPushButton>(dlg, "PrnBtn")->click();
        QCOMPARE(p.setups, 1);
        QCOMPARE(child<QLabel>(dlg, "LabPrn")->text(), QStringLiteral("Alta imprimanta"));
        QVERIFY(child<QRadioButton>(dlg, "CBLandscape")->isChecked());
        QCOMPARE(child<QSpinBox>(dlg, "LeftEdit")->maximum(), 420);
        QCOMPARE(dlg.dialogOrientation(), PrintOrientation::Landscape);

        // A cancelled setup leaves the orientation as it was.
        p.onSetup = [&p] {
            p.orient = PrintOrientation::Portrait;
            return false;
        };
        child<QPushButton>(dlg, "PrnBtn")->click();
        QCOMPARE(p.orient, PrintOrientation::Landscape);
        QVERIFY(child<QRadioButton>(dlg, "CBLandscape")->isChecked());
    }

    void askPrintSetupRunsModally() {
        FakePrinter p;
        ScriptedPrompts prompts;
        bool clicked = false;
        QTimer::singleShot(0, [&] {
            QWidget* w = QApplication::activeModalWidget();
            if (auto* dlg = qobject_cast<TQRPrnDlg*>(w)) {
                child<QSpinBox>(*dlg, "CopiesSpin")->setValue(2);
                child<QPushButton>(*dlg, "OkBtn")->click();
                clicked = true;
            }
        });
        QVERIFY(AskPrintSetup(nullptr));
        QVERIFY(clicked);
        QCOMPARE(PrintSettings::current().copies, 2);

        QTimer::singleShot(0, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                QTest::keyClick(w, Qt::Key_Escape);
        });
        QVERIFY(!AskPrintSetup(nullptr));
        QVERIFY(prompts.shown().isEmpty());
    }

    void bandFont() {
        PrintSettings s;
        s.fontName = QStringLiteral("Arial");
        s.fontSize = 8;
        QFont band(QStringLiteral("Times New Roman"), 14);
        band.setBold(true);
        ApplyBandFont(band, s);
        QCOMPARE(band.family(), QStringLiteral("Arial"));
        QCOMPARE(band.pointSize(), 8);
        QVERIFY(band.bold());
        QVERIFY(!band.fixedPitch());
        s.fontPitch = FontPitch::Fixed;
        ApplyBandFont(band, s);
        QVERIFY(band.fixedPitch());
        s.fontPitch = FontPitch::Variable;
        ApplyBandFont(band, s);
        QVERIFY(!band.fixedPitch());
        s.fontName.clear();
        ApplyBandFont(band, s);
        QCOMPARE(band.family(), QStringLiteral("Arial"));
    }

    void effectiveMarginsTakeTheLargerMinimum() {
        PrintSettings s;
        s.marginLeft = 3;
        s.minLeft = 6;
        s.marginTop = 2;
        s.marginRight = 20;
        PrintableArea now;
        now.left = 4;
        now.top = 7;
        now.bottom = 9;
        QCOMPARE(effectiveMargins(s, now), (MarginsMm{6, 7, 20, 9}));
    }

    // The real printer works without any printer installed.
    void realPrinterDevice() {
        QPrinterDevice dev;
        QVERIFY(dev.printer());
        QVERIFY(SetPrinterPaper(PaperA4, dev));
        dev.setOrientation(PrintOrientation::Portrait);
        PrintableArea a = MeasurePrintableArea(dev);
        QCOMPARE(a.paperWidth, 210);
        QCOMPARE(a.paperHeight, 297);
        QCOMPARE(GetPrinterPaper(dev), PaperA4);
        dev.setOrientation(PrintOrientation::Landscape);
        QCOMPARE(dev.orientation(), PrintOrientation::Landscape);
        a = MeasurePrintableArea(dev);
        QCOMPARE(a.paperWidth, 297);
        QCOMPARE(a.paperHeight, 210);
        QVERIFY(a.left >= 0 && a.left < 30);
        TQRPrnDlg dlg(nullptr, PrintSettings::current(), dev);
        QVERIFY(!child<QLabel>(dlg, "LabPrn")->text().isEmpty());
    }

    // Without an installed printer the setup still sets paper and orientation.
    void pageSetupWithoutPrinter() {
        QPrinterDevice dev;
        if (!dev.printerName().isEmpty())
            QSKIP("a printer is installed here");
        SetPrinterPaper(PaperA4, dev);
        dev.setOrientation(PrintOrientation::Portrait);
        QTimer::singleShot(0, [] {
            QWidget* w = QApplication::activeModalWidget();
            if (!w || w->objectName() != QLatin1String("PageSetupDlg"))
                return;
            auto* paper = child<QComboBox>(*w, "PaperCombo");
            paper->setCurrentIndex(paper->findData(11)); // A5
            for (QRadioButton* r : w->findChildren<QRadioButton*>())
                if (r->text() == QStringLiteral("P&eisaj"))
                    r->click();
            QTest::keyClick(w, Qt::Key_Return);
        });
        QVERIFY(dev.setup(nullptr));
        QCOMPARE(GetPrinterPaper(dev), 11);
        QCOMPARE(dev.orientation(), PrintOrientation::Landscape);
        QCOMPARE(MeasurePrintableArea(dev).paperWidth, 210);

        QTimer::singleShot(0, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                QTest::keyClick(w, Qt::Key_Escape);
        });
        QVERIFY(!dev.setup(nullptr));
        QCOMPARE(GetPrinterPaper(dev), 11);
    }
};

QTEST_MAIN(TestPrintSetup)
#include "tst_qprndlg.moc"
