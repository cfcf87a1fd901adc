#include "OnlineUpdate.h"

#include "Prompts.h"

#include <QApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>
#include <memory>

#ifndef TOMBRIX_VENDOR_URL
#define TOMBRIX_VENDOR_URL "https://tombrix.invalid"
#endif

namespace OnlineUpdate {

namespace {

QString& base() {
    static QString address = QStringLiteral(TOMBRIX_VENDOR_URL);
    return address;
}

// The version file holds a few bytes; anything much larger is not it.
constexpr qint64 MaxBody = 64 * 1024;

// Four numbers joined by points; empty when `text` is not that.
QList<uint> versionNumbers(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return {};
    QList<uint> numbers;
    for (const QString& p : parts) {
        if (p.isEmpty() || p.size() > 9)
            return {};
        for (QChar c : p)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        numbers.append(p.toUInt());
    }
    return numbers;
}

void showFailure() {
    Prompts::error(
        QStringLiteral("Operatiunea de actualizare a programului nu poate fi efectuata!"));
}

QString under(const QString& path) {
    QString b = base();
    while (b.endsWith(QLatin1Char('/')))
        b.chop(1);
    return b + path;
}

} // namespace

QString baseAddress() {
    return base();
}

void setBaseAddress(const QString& address) {
    base() = address;
}

QString versionFileAddress() {
    return under(QStringLiteral("/UpdateExe/VersTombrix.txt"));
}

QString downloadPageAddress() {
    return under(QStringLiteral("/actualizare.php?prg=7"));
}

QByteArray fetch(const QString& address, int timeoutMs) {
    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    QNetworkRequest request{QUrl(address)};
    request.setTransferTimeout(timeoutMs);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));

    QEventLoop loop;
    // The transfer time-out restarts with every byte received; this one
    // bounds the whole wait, so a start is never held up for longer.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QNetworkReply* r = reply.get();
    QObject::connect(r, &QNetworkReply::downloadProgress, r, [r](qint64 received, qint64) {
        if (received > MaxBody)
            r->abort();
    });
    deadline.start(timeoutMs);
    if (!reply->isFinished())
        loop.exec();

    // Also reached when the application quits while we wait.
    if (!reply->isFinished()) {
        reply->abort();
        throw FetchError("no answer in time");
    }
    if (reply->error() != QNetworkReply::NoError)
        throw FetchError(reply->errorString().toStdString());
    return reply->readAll();
}

Verdict compare(const QString& own, const QByteArray& body) {
    // The server's file is exactly 7 characters: four one-digit numbers.
    if (body.size() != 7)
        return Verdict::Unusable;
    const QList<uint> theirs = versionNumbers(QString::fromLatin1(body));
    const QList<uint> ours = versionNumbers(own);
    if (theirs.isEmpty() || ours.isEmpty())
        return Verdict::Unusable;
    return ours < theirs ? Verdict::Newer : Verdict::Latest;
}

bool offerAccepted(Mode mode, const QString& own, const std::function<bool()>& stillWanted) {
    const auto wanted = [&] { return !stillWanted || stillWanted(); };
    Verdict verdict = Verdict::Unusable;
    try {
        verdict = compare(own, fetch(versionFileAddress()));
    } catch (const std::exception&) {
        // Any failure to get the file is answered like an unusable one.
    }
    if (!wanted())
        return false;

    if (verdict != Verdict::Newer) {
        if (mode == Mode::Menu && verdict == Verdict::Unusable)
            showFailure();
        else if (mode == Mode::Menu)
            Prompts::information(
                QStringLiteral("Aveti deja instalata ultima versiune a programului Tombrix!"));
        return false;
    }
    return Prompts::current().message(QApplication::applicationName(),
                                      QStringLiteral("O versiune noua a programului Tombrix este "
                                                     "disponibila pentru descarcare. Doriti sa "
                                                     "continuati?"),
                                      PromptIcon::Question, PromptButtons::YesNo,
                                      PromptAnswer::Yes) == PromptAnswer::Yes;
}

} // namespace OnlineUpdate
