#include "net/httpget.h"

#include "net/httpreply.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace vexa {

bool httpGet(const QUrl &url, QByteArray &body, QUrl &finalUrl, QString &errorText, int timeoutMs)
{
    if (!url.isValid() || url.isEmpty()) {
        errorText = invalidUrlText(url);
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
        timeoutText = downloadTimedOutText(reply->request().url());
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
        errorText = timedOut ? timeoutText : downloadFailureText(url.toString(QUrl::FullyEncoded), reason);
        return false;
    }
    finalUrl = replyUrl.isValid() ? replyUrl : url;
    return true;
}

} // namespace vexa
