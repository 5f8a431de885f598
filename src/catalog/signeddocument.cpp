#include "catalog/signeddocument.h"

#include "net/httpget.h"

#include <QFile>
#include <QFileInfo>

namespace vexa {

namespace {

const QString SignatureSuffix = QStringLiteral(".sig");

} // namespace

QString detachedSignaturePath(const QString &documentPath)
{
    return documentPath + SignatureSuffix;
}

QUrl detachedSignatureUrl(const QUrl &documentUrl)
{
    QUrl signatureUrl = documentUrl;
    signatureUrl.setPath(documentUrl.path(QUrl::FullyEncoded) + SignatureSuffix, QUrl::TolerantMode);
    return signatureUrl;
}

bool hasTrustedSignature(
    const QString &documentPath, const QByteArray &document, const ReleaseKeys &keys, QString &reason)
{
    if (keys.isEmpty())
        return true;
    const QString signaturePath = detachedSignaturePath(documentPath);
    QFile file(signaturePath);
    if (!QFileInfo(signaturePath).isFile() || !file.open(QIODevice::ReadOnly)) {
        reason = SignatureMissingReason;
        return false;
    }
    return isSignedByReleaseKey(keys, document, file.readAll(), reason);
}

bool hasTrustedSignature(const QUrl &documentUrl, const QByteArray &document, const ReleaseKeys &keys,
    int timeoutMs, QString &reason)
{
    if (keys.isEmpty())
        return true;
    QByteArray signature;
    QUrl finalUrl;
    QString downloadError;
    if (!httpGet(detachedSignatureUrl(documentUrl), signature, finalUrl, downloadError, timeoutMs)) {
        // A time-out or a refused connection is not an absent file; the download's own words say which.
        reason = QStringLiteral("%1 (%2)").arg(SignatureMissingReason, downloadError);
        return false;
    }
    return isSignedByReleaseKey(keys, document, signature, reason);
}

} // namespace vexa
