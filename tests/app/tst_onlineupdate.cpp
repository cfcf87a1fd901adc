// The online version check against a local HTTP server on 127.0.0.1.
#include "Linklab.h"
#include "MainUnt.h"
#include "OnlineUpdate.h"
#include "Table.h"
#include "TestSupport.h"

#include <QAction>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

using OnlineUpdate::Mode;
using OnlineUpdate::Verdict;

const QString kFailure =
    QStringLiteral("Operatiunea de actualizare a programului nu poate fi efectuata!");
const QString kLatest =
    QStringLiteral("Aveti deja instalata ultima versiune a programului Tombrix!");
const QString kOffer =
    QStringLiteral("O versiune noua a programului Tombrix este disponibila pentru "
                   "descarcare. Doriti sa continuati?");

// A tiny HTTP server: answers every request with `body`, with an error page,
// or not at all.
class LocalServer : public QObject {
public:
    enum class Answer { Body, ErrorPage, Never };
    Answer answer = Answer::Body;
    QByteArray body;
    QStringList requests; // the request lines received

    LocalServer() {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                connect(s, &QTcpSocket::readyRead, this, [this, s] { serve(s); });
        });
    }
    QString base() const {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }

private:
    void serve(QTcpSocket* s) {
        QByteArray& in = m_pending[s];
        in += s->readAll();
        if (!in.contains("\r\n\r\n"))
            return;
        requests << QString::fromLatin1(in.left(in.indexOf("\r\n")));
        if (answer == Answer::Never)
            return;
        const QByteArray status = answer == Answer::Body ? "200 OK" : "404 Not Found";
        const QByteArray content =
            answer == Answer::Body ? body : "<html><body>Not found</body></html>";
        s->write("HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                 QByteArray::number(content.size()) + "\r\nConnection: close\r\n\r\n" + content);
        s->disconnectFromHost();
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
};

// A loopback address where nobody listens: connections are refused.
QString refusedBase() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("http://127.0.0.1:%1").arg(port);
}

// Stands in for the system's "open" and records what it was asked to open.
struct ShellRecorder {
    QStringList opened;
    TLinkLabel::ShellOpenFunction previous;
    ShellRecorder() {
        previous = TLinkLabel::setShellOpen([this](const QString& a) {
            opened << a;
            return true;
        });
    }
    ~ShellRecorder() { TLinkLabel::setShellOpen(previous); }
};

} // namespace

class TestOnlineUpdate : public QObject {
    Q_OBJECT
    QString m_builtBase;

private slots:
    void initTestCase() {
        m_builtBase = OnlineUpdate::baseAddress();
        // Closing a shown main window must not end the test program.
        QApplication::setQuitOnLastWindowClosed(false);
    }
    // No test may reach the vendor: by default the check goes nowhere.
    void init() { OnlineUpdate::setBaseAddress(refusedBase()); }
    void cleanupTestCase() { OnlineUpdate::setBaseAddress(m_builtBase); }

    void vendorAddressesAreSecure() {
        OnlineUpdate::setBaseAddress(m_builtBase);
        for (const QString& a : {OnlineUpdate::baseAddress(), OnlineUpdate::versionFileAddress(),
                                 OnlineUpdate::downloadPageAddress()})
            QVERIFY2(a.startsWith(QLatin1String("https://")), qPrintable(a));
        QVERIFY(OnlineUpdate::versionFileAddress().endsWith(
            QLatin1String("/UpdateExe/VersTombrix.txt")));
        QVERIFY(
            OnlineUpdate::downloadPageAddress().endsWith(QLatin1String("/actualizare.php?prg=7")));
    }

    void comparesNumberByNumber_data() {
        QTest::addColumn<QString>("own");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("newer build") << "2.1.1.1" << QByteArray("2.1.1.2") << Verdict::Newer;
        QTest::newRow("same") << "2.1.1.1" << QByteArray("2.1.1.1") << Verdict::Latest;
        QTest::newRow("older on the server")
            << "2.1.1.1" << QByteArray("2.1.0.9") << Verdict::Latest;
        QTest::newRow("newer major beats lower minor")
            << "2.9.9.9" << QByteArray("3.0.0.0") << Verdict::Newer;
        QTest::newRow("no own version") << "0.0.0.0" << QByteArray("0.0.0.1") << Verdict::Newer;
        QTest::newRow("10 is more than 9")
            << "2.1.10.1" << QByteArray("2.1.9.1") << Verdict::Latest;
        QTest::newRow("line break") << "2.1.1.1" << QByteArray("2.1.1.2\r\n") << Verdict::Unusable;
        QTest::newRow("7 characters, not four numbers")
            << "2.1.1.1" << QByteArray("2.1.112") << Verdict::Unusable;
        QTest::newRow("letters") << "2.1.1.1" << QByteArray("2.1.1.a") << Verdict::Unusable;
        QTest::newRow("signs") << "2.1.1.1" << QByteArray("+.1.1.2") << Verdict::Unusable;
        QTest::newRow("empty points") << "2.1.1.1" << QByteArray("2..1.23") << Verdict::Unusable;
        QTest::newRow("empty") << "2.1.1.1" << QByteArray() << Verdict::Unusable;
    }
    void comparesNumberByNumber() {
        QFETCH(QString, own);
        QFETCH(QByteArray, body);
        QFETCH(Verdict, verdict);
        QCOMPARE(OnlineUpdate::compare(own, body), verdict);
    }

    void newerVersionIsOfferedInBothModes() {
        LocalServer server;
        server.body = "2.1.1.2";
        OnlineUpdate::setBaseAddress(server.base());
        ScriptedPrompts prompts;
        prompts.queueAnswer(PromptAnswer::No);
        prompts.queueAnswer(PromptAnswer::Yes);
        QVERIFY(!OnlineUpdate::offerAccepted(Mode::Menu, QStringLiteral("2.1.1.1")));
        QVERIFY(OnlineUpdate::offerAccepted(Mode::Automatic, QStringLiteral("2.1.1.1")));
        QCOMPARE(prompts.texts(), (QStringList{kOffer, kOffer}));
        QCOMPARE(prompts.shown()[0].icon, PromptIcon::Question);
        QCOMPARE(prompts.shown()[0].buttons, PromptButtons::YesNo);
        QCOMPARE(server.requests,
                 QStringList(2, QStringLiteral("GET /UpdateExe/VersTombrix.txt HTTP/1.1")));
    }

    void sameVersionAnsweredOnlyFromTheMenu() {
        LocalServer server;
        server.body = "2.1.1.1";
        OnlineUpdate::setBaseAddress(server.base());
        ScriptedPrompts prompts;
        QVERIFY(!OnlineUpdate::offerAccepted(Mode::Automatic, QStringLiteral("2.1.1.1")));
        QVERIFY(prompts.shown().isEmpty());
        QVERIFY(!OnlineUpdate::offerAccepted(Mode::Menu, QStringLiteral("2.1.1.1")));
        QCOMPARE(prompts.texts(), QStringList{kLatest});
        QCOMPARE(prompts.shown()[0].icon, PromptIcon::Information);
        QCOMPARE(prompts.shown()[0].buttons, PromptButtons::Ok);
        QCOMPARE(server.requests.size(), 2); // every check fetches anew
    }

    void failuresAnsweredOnlyFromTheMenu_data() {
        QTest::addColumn<int>("answer"); // -1: connection refused
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("line break") << int(LocalServer::Answer::Body) << QByteArray("2.1.1.2\r\n");
        QTest::newRow("error page") << int(LocalServer::Answer::ErrorPage) << QByteArray();
        QTest::newRow("not a version") << int(LocalServer::Answer::Body) << QByteArray("<html>");
        QTest::newRow("refused") << -1 << QByteArray();
    }
    void failuresAnsweredOnlyFromTheMenu() {
        QFETCH(int, answer);
        QFETCH(QByteArray, body);
        LocalServer server;
        server.body = body;
        if (answer >= 0) {
            server.answer = LocalServer::Answer(answer);
            OnlineUpdate::setBaseAddress(server.base());
        }
        ScriptedPrompts prompts;
        QVERIFY(!OnlineUpdate::offerAccepted(Mode::Automatic, QStringLiteral("2.1.1.1")));
        QVERIFY(prompts.shown().isEmpty());
        QVERIFY(!OnlineUpdate::offerAccepted(Mode::Menu, QStringLiteral("2.1.1.1")));
        QCOMPARE(prompts.texts(), QStringList{kFailure});
        QCOMPARE(prompts.shown()[0].icon, PromptIcon::Error);
        QCOMPARE(prompts.shown()[0].buttons, PromptButtons::Ok);
        QCOMPARE(server.requests.size(), answer >= 0 ? 2 : 0);
    }

    // The one slow test: a server that takes the request and never answers.
    void silentServerIsGivenUpAfterTheTimeOut() {
        LocalServer server;
        server.answer = LocalServer::Answer::Never;
        OnlineUpdate::setBaseAddress(server.base());
        ScriptedPrompts prompts;
        bool ticked = false;
        QTimer::singleShot(100, this, [&ticked] { ticked = true; });
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!OnlineUpdate::offerAccepted(Mode::Menu, QStringLiteral("2.1.1.1")));
        const qint64 waited = clock.elapsed();
        QCOMPARE(prompts.texts(), QStringList{kFailure});
        QVERIFY(ticked); // window messages went on while it waited
        QCOMPARE(server.requests.size(), 1);
        // Qt's own transfer time-out runs on a coarse timer, which may fire
        // up to 5% early.
        QVERIFY2(waited >= OnlineUpdate::TimeoutMs * 95 / 100 - 50,
                 qPrintable(QString::number(waited)));
        QVERIFY2(waited < 3 * OnlineUpdate::TimeoutMs, qPrintable(QString::number(waited)));
    }

    // ------------------------------------------------------------ main window

    void acceptedOfferAtStartOpensTheDownloadPageAndCloses() {
        QCOMPARE(OnlineUpdate::compare(TMainForm::versionText(), "9.9.9.9"), Verdict::Newer);
        LocalServer server;
        server.body = "9.9.9.9";
        OnlineUpdate::setBaseAddress(server.base());
        TempProgramDir dir;
        ScriptedPrompts prompts;
        prompts.queueAnswer(PromptAnswer::Yes);
        ShellRecorder shell;
        TMainForm form(dir.path());
        form.show();
        QCOMPARE(prompts.texts(), QStringList{kOffer});
        QCOMPARE(shell.opened,
                 QStringList{server.base() + QStringLiteral("/actualizare.php?prg=7")});
        QTRY_VERIFY(!form.isVisible());
        QVERIFY(!form.Catalog()->isActive()); // closed through its closing sequence
    }

    void menuCommandAnswersAndClosesOnYes() {
        LocalServer server;
        server.body = "0.0.0.0";
        TempProgramDir dir;
        ScriptedPrompts prompts;
        ShellRecorder shell;
        TMainForm form(dir.path()); // not shown: no automatic check
        OnlineUpdate::setBaseAddress(server.base());
        auto* action = form.findChild<QAction*>(QStringLiteral("Actualizareonline1"));
        QVERIFY(action && action->isEnabled());

        action->trigger();
        QCOMPARE(prompts.texts(), QStringList{kLatest});

        prompts.clear();
        server.body = "9.9.9.9";
        prompts.queueAnswer(PromptAnswer::No);
        action->trigger();
        QCOMPARE(prompts.texts(), QStringList{kOffer});
        QVERIFY(shell.opened.isEmpty());
        QVERIFY(form.Catalog()->isActive());

        prompts.queueAnswer(PromptAnswer::Yes);
        action->trigger();
        QCOMPARE(shell.opened, QStringList{OnlineUpdate::downloadPageAddress()});
        QVERIFY(!form.Catalog()->isActive());
    }

    void bannerOpensTheVendorsSite() {
        TempProgramDir dir;
        ScriptedPrompts prompts;
        ShellRecorder shell;
        TMainForm form(dir.path());
        OnlineUpdate::setBaseAddress(QStringLiteral("https://vendor.invalid"));
        form.Image1Click();
        QCOMPARE(shell.opened, QStringList{QStringLiteral("https://vendor.invalid")});
        QVERIFY(!form.LinkLbl()->isVisible());
    }
};

QTEST_MAIN(TestOnlineUpdate)
#include "tst_onlineupdate.moc"
