#include "catalog/httpget.h"

#include "catalog/httpreply.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace vexa {

bool httpGet(const QUrl &url, QByteArray &body, QUrl &finalUrl, QString &errorText, int timeoutMs)
{
    if (!url.isValid() || url.isEmpty()) {
        errorText = QStringLiteral("Invalid URL: %1").arg(url.toString());
        return false;
    }

    // One manager, loop and timer per call: nothing is shared between requests or threads.
    QNetworkAccessManager manager;
    QNetworkReply *reply = manager.get(downloadRequest(url));

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    bool timedOut = false;
    QString timeoutText;
    QObject::connect(reply, &QNetworkReply::finished, &timer, &QTimer::stop);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Runs in the reply's context, so it can never touch a reply that is already gone.
    QObject::connect(&timer, &QTimer::timeout, reply, [&]() {
        if (reply->isFinished())
            return;
        timedOut = true;
        timeoutText = QStringLiteral("Timed out while downloading %1")
                          .arg(reply->request().url().toString(QUrl::FullyEncoded));
        reply->abort();
    });
    // Started once and never restarted: the limit bounds the whole transfer, not idle time.
    timer.start(qMax(0, timeoutMs));
    if (!reply->isFinished())
        loop.exec();
    timer.stop();

    // An aborted reply is closed; reading it would only produce a warning.
    body = reply->isOpen() ? reply->readAll() : QByteArray();
    QString reason;
    const bool succeeded = downloadSucceeded(*reply, body.size(), reason);
    const QUrl replyUrl = reply->url();
    reply->deleteLater();

    if (!succeeded) {
        // Filled in one pass: a percent-encoded URL must not lend its "%2x" escapes to the template.
        errorText = timedOut
            ? timeoutText
            : QStringLiteral("Failed to download %1: %2").arg(url.toString(QUrl::FullyEncoded), reason);
        return false;
    }
    finalUrl = replyUrl.isValid() ? replyUrl : url;
    return true;
}

} // namespace vexa
