// The link label: the address it opens, clicks, hover colour, size and shadow.
#include "Linklab.h"
#include "TestSupport.h"

#include <QEnterEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// Stands in for the system's "open" and records what it was asked to open.
struct ShellRecorder {
    QStringList opened;
    QStringList* log = nullptr;
    bool accept = true;
    TLinkLabel::ShellOpenFunction previous;

    ShellRecorder() {
        previous = TLinkLabel::setShellOpen([this](const QString& a) {
            opened << a;
            if (log)
                *log << QStringLiteral("open ") + a;
            return accept;
        });
    }
    ~ShellRecorder() { TLinkLabel::setShellOpen(previous); }
};

// The bounding box of the pixels of exactly colour `c`.
QRect boxOf(const QImage& img, QColor c) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixelColor(x, y) == c)
                box |= QRect(x, y, 1, 1);
    return box;
}

} // namespace

class TestLinkLabel : public QObject {
    Q_OBJECT
private slots:
    void opensTheAddressFormed_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("type"); // -1: as created
        QTest::addColumn<bool>("add");
        QTest::addColumn<QString>("expected");
        QTest::newRow("caption, mail by default") << ""
                                                  << "abc" << -1 << true << "mailto:abc";
        QTest::newRow("url wins over caption") << "tombrix.invalid/actualizare.php?prg=7"
                                               << "Versiune" << int(TLinkLabel::utHttp) << true
                                               << "http://tombrix.invalid/actualizare.php?prg=7";
        QTest::newRow("second scheme added as is")
            << "https://a.invalid"
            << "" << int(TLinkLabel::utHttp) << true << "http://https://a.invalid";
        QTest::newRow("prefix off: exactly as written")
            << "https://a.invalid/p?q=1&r=2"
            << "x" << int(TLinkLabel::utHttp) << false << "https://a.invalid/p?q=1&r=2";
    }
    void opensTheAddressFormed() {
        QFETCH(QString, url);
        QFETCH(QString, caption);
        QFETCH(int, type);
        QFETCH(bool, add);
        QFETCH(QString, expected);
        ShellRecorder shell;
        TLinkLabel label; // never shown: the program opens through a hidden label
        label.setUrl(url);
        label.setCaption(caption);
        if (type >= 0)
            label.setUrlType(TLinkLabel::TURLType(type));
        label.setUrlTypeAdd(add);
        QVERIFY(label.OpenURL());
        QCOMPARE(shell.opened, QStringList{expected});
    }

    void opensNothingWithoutAddressOrWhenDisabled() {
        ShellRecorder shell;
        TLinkLabel label;
        QVERIFY(!label.OpenURL()); // neither caption nor url
        label.setCaption(QStringLiteral("abc"));
        label.setUrlEnabled(false);
        QVERIFY(!label.OpenURL());
        QVERIFY(shell.opened.isEmpty());
    }

    void refusalIsReturnedSilently() {
        ShellRecorder shell;
        shell.accept = false;
        ScriptedPrompts prompts;
        TLinkLabel label;
        label.setCaption(QStringLiteral("abc"));
        QVERIFY(!label.OpenURL());
        QCOMPARE(shell.opened.size(), 1);
        QVERIFY(prompts.shown().isEmpty());
    }

    void clickRunsTheHookThenOpens() {
        ShellRecorder shell;
        QStringList log;
        shell.log = &log;
        QWidget window;
        auto* label = new TLinkLabel(&window);
        label->setCaption(QStringLiteral("site"));
        label->setUrlType(TLinkLabel::utHttps);
        label->onClick = [&log] { log << QStringLiteral("click"); };
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(log, (QStringList{QStringLiteral("click"), QStringLiteral("open https://site")}));

        log.clear();
        label->setUrlEnabled(false);
        QTest::mouseClick(label, Qt::LeftButton);
        QCOMPARE(log, QStringList{QStringLiteral("click")});
    }

    void hoverShowsTheLinkColourAndRestoresTheFont() {
        TLinkLabel label;
        label.setFontColor(QColor(10, 20, 30));
        label.setLinkColor(QColor(200, 0, 0));
        const QPointF at(2, 2);
        QEnterEvent enter(at, at, label.mapToGlobal(at));
        QApplication::sendEvent(&label, &enter);
        QCOMPARE(label.fontColor(), QColor(200, 0, 0));
        QApplication::sendEvent(&label, &enter); // a repeated enter must not lose the font colour
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&label, &leave);
        QCOMPARE(label.fontColor(), QColor(10, 20, 30));
    }

    void autoSizeFitsTheTextAndItsShadow() {
        TLinkLabel label;
        QCOMPARE(label.size(), QSize(65, 17));
        label.setAutoSize(false);
        label.setCaption(QStringLiteral("a caption much longer than the label"));
        QCOMPARE(label.size(), QSize(65, 17));

        label.setAutoSize(true);
        const QSize fitted = label.size();
        QVERIFY(fitted.width() > 65);
        label.setShadowSize(5);
        QCOMPARE(label.size(), fitted + QSize(4, 4));

        // A right-aligned label grows to the left.
        label.setAlignment(Qt::AlignRight);
        label.move(400, 10);
        const int right = label.geometry().right();
        label.setCaption(label.caption() + QStringLiteral(" and longer still"));
        QVERIFY(label.width() > fitted.width() + 4);
        QCOMPARE(label.geometry().right(), right);
        QCOMPARE(label.y(), 10);
    }

    void shadowLiesWhereAsked_data() {
        QTest::addColumn<int>("pos");
        QTest::addColumn<int>("dx"); // where the shadow sticks out of the text
        QTest::addColumn<int>("dy");
        QTest::newRow("left top") << int(TLinkLabel::spLeftTop) << -1 << -1;
        QTest::newRow("left bottom") << int(TLinkLabel::spLeftBottom) << -1 << 1;
        QTest::newRow("right bottom") << int(TLinkLabel::spRightBottom) << 1 << 1;
        QTest::newRow("right top") << int(TLinkLabel::spRightTop) << 1 << -1;
    }
    void shadowLiesWhereAsked() {
        QFETCH(int, pos);
        QFETCH(int, dx);
        QFETCH(int, dy);
        const QColor ink(0, 0, 0), shade(255, 0, 0), paper(255, 255, 255);
        TLinkLabel label;
        QFont f(QStringLiteral("Liberation Sans"), 28, QFont::Bold);
        f.setStyleStrategy(QFont::NoAntialias);
        label.setFont(f);
        label.setCaption(QStringLiteral("H"));
        label.setTransparent(false);
        label.setColor(paper);
        label.setFontColor(ink);
        label.setShadowColor(shade);
        label.setShadowSize(3);
        label.setShadowPos(TLinkLabel::TShadowPosition(pos));
        const QImage img = label.grab().toImage();
        const QRect text = boxOf(img, ink), shadow = boxOf(img, shade);
        QVERIFY(!text.isEmpty() && !shadow.isEmpty());
        QCOMPARE(dx < 0 ? text.left() - shadow.left() : shadow.right() - text.right(), 3);
        QCOMPARE(dy < 0 ? text.top() - shadow.top() : shadow.bottom() - text.bottom(), 3);
        QVERIFY(QRect(QPoint(0, 0), label.size()).contains(text | shadow)); // auto size left room
    }

    void acceleratorFocusesItsControl() {
        QWidget window;
        auto* lay = new QVBoxLayout(&window);
        auto* other = new QLineEdit(&window);
        auto* label = new TLinkLabel(&window);
        auto* edit = new QLineEdit(&window);
        lay->addWidget(other);
        lay->addWidget(label);
        lay->addWidget(edit);
        label->setCaption(QStringLiteral("&Nume"));
        label->setFocusControl(edit);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        other->setFocus();
        QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier);
        QVERIFY(edit->hasFocus());

        delete edit;
        QCOMPARE(label->focusControl(), nullptr);
        other->setFocus();
        QTest::keyClick(&window, Qt::Key_N, Qt::AltModifier); // nothing to focus, no crash
        QVERIFY(other->hasFocus());
    }
};

QTEST_MAIN(TestLinkLabel)
#include "tst_linklab.moc"
