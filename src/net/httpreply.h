#pragma once

#include <QByteArray>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

QT_BEGIN_NAMESPACE
class QNetworkReply;
QT_END_NAMESPACE

namespace vexa {

// A GET request for `url` that follows redirects, except one leading from https to http.
QNetworkRequest downloadRequest(const QUrl &url);

// The parts of an answer's head that say which bytes of which version of a resource it carries.
struct ResponseHead
{
    int status = 0; // 0 when the reply carries no HTTP status
    QByteArray etag;
    QByteArray lastModified;
    QByteArray contentRange;
};

// Read as soon as the reply's head has arrived, before its body is used.
ResponseHead responseHead(const QNetworkReply &reply);

// How a finished download went, decided the same way for every download: it fails on the reply's
// network error, on a body that ended before its announced length (`receivedBytes` is what arrived),
// and on an HTTP status of 400 or more. On failure `reason` holds the text that follows
// "Failed to download <what>: " in the caller's message.
bool downloadSucceeded(const QNetworkReply &reply, qint64 receivedBytes, QString &reason);

// "Failed to download <what>: <reason>", the one wording of a failed transfer.
QString downloadFailureText(const QString &what, const QString &reason);
// "Invalid URL: <url>", for a URL that names nothing to download.
QString invalidUrlText(const QUrl &url);
// "Timed out while downloading <url>", with the URL fully encoded.
QString downloadTimedOutText(const QUrl &url);

} // namespace vexa
