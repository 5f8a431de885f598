#include "net/httpreply.h"

#include <QNetworkReply>

namespace vexa {

QNetworkRequest downloadRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return request;
}

ResponseHead responseHead(const QNetworkReply &reply)
{
    ResponseHead head;
    head.status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    head.etag = reply.rawHeader("ETag").trimmed();
    head.lastModified = reply.rawHeader("Last-Modified").trimmed();
    head.contentRange = reply.rawHeader("Content-Range").trimmed();
    return head;
}

bool downloadSucceeded(const QNetworkReply &reply, qint64 receivedBytes, QString &reason)
{
    if (reply.error() != QNetworkReply::NoError) {
        reason = reply.errorString();
        return false;
    }
    // Qt now and then finishes a reply without an error when the server closed the connection before
    // the announced length arrived; a truncated body must never pass for a download. A compressed
    // answer announces its compressed length, so only plain bodies are compared.
    const QVariant announcedLength = reply.header(QNetworkRequest::ContentLengthHeader);
    const QByteArray contentEncoding = reply.rawHeader("Content-Encoding").trimmed().toLower();
    if (announcedLength.isValid() && (contentEncoding.isEmpty() || contentEncoding == "identity")
        && receivedBytes < announcedLength.toLongLong()) {
        reason = QStringLiteral("Connection closed after %1 of %2 bytes")
                     .arg(QString::number(receivedBytes), QString::number(announcedLength.toLongLong()));
        return false;
    }
    // Qt reports most such statuses as errors of its own; this catches the ones it lets through.
    const QVariant status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid() && status.toInt() >= 400) {
        reason = QStringLiteral("HTTP %1 %2")
                     .arg(QString::number(status.toInt()),
                         reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        return false;
    }
    return true;
}

QString downloadFailureText(const QString &what, const QString &reason)
{
    // Filled in one pass: a percent-encoded URL must not lend its "%2x" escapes to the template.
    return QStringLiteral("Failed to download %1: %2").arg(what, reason);
}

QString invalidUrlText(const QUrl &url)
{
    return QStringLiteral("Invalid URL: %1").arg(url.toString());
}

QString downloadTimedOutText(const QUrl &url)
{
    return QStringLiteral("Timed out while downloading %1").arg(url.toString(QUrl::FullyEncoded));
}

} // namespace vexa
