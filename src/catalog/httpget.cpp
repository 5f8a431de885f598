#include "catalog/httpget.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
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
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = manager.get(request);

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
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString reason = reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString();
    const QNetworkReply::NetworkError error = reply->error();
    const QString replyErrorText = reply->errorString();
    const QUrl replyUrl = reply->url();
    // Qt now and then finishes a reply without an error when the server closed the connection before
    // the announced length arrived; a truncated body must never pass for a download. (A compressed
    // answer announces its compressed length, so only plain bodies are compared.)
    const QVariant announcedLength = reply->header(QNetworkRequest::ContentLengthHeader);
    const QByteArray contentEncoding = reply->rawHeader("Content-Encoding").trimmed().toLower();
    const bool truncated = error == QNetworkReply::NoError && announcedLength.isValid()
        && (contentEncoding.isEmpty() || contentEncoding == "identity")
        && body.size() < announcedLength.toLongLong();
    reply->deleteLater();

    if (truncated) {
        errorText = QStringLiteral("Failed to download %1: %2")
                        .arg(url.toString(QUrl::FullyEncoded),
                            QStringLiteral("Connection closed after %1 of %2 bytes")
                                .arg(body.size())
                                .arg(announcedLength.toLongLong()));
        return false;
    }
    if (error != QNetworkReply::NoError) {
        errorText = timedOut ? timeoutText
                             : QStringLiteral("Failed to download %1: %2")
                                   .arg(url.toString(QUrl::FullyEncoded), replyErrorText);
        return false;
    }
    if (status.isValid() && status.toInt() > 399) {
        // Filled in one pass: a percent-encoded URL must not lend its "%2x" escapes to the template.
        errorText = QStringLiteral("Failed to download %1: HTTP %2 %3")
                        .arg(url.toString(QUrl::FullyEncoded), QString::number(status.toInt()), reason);
        return false;
    }
    finalUrl = replyUrl.isValid() ? replyUrl : url;
    return true;
}

} // namespace vexa
