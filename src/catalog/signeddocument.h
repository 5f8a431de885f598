#pragma once

#include "archive/releasesignature.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace vexa {

// Where the detached signature of a document lives: beside it, ".sig" appended to the file path or to
// the URL's path (a query stays a query). A redirected document keeps its signature where it was
// asked for, so a server that sends downloads elsewhere needs no signature at the far end.
QString detachedSignaturePath(const QString &documentPath);
QUrl detachedSignatureUrl(const QUrl &documentUrl);

// Whether the document read from `documentPath` or downloaded from `documentUrl` carries a signature
// by one of `keys`; always true when `keys` is empty. On false, `reason` is the phrase that follows
// the document's name in a message: SignatureMissingReason (for a download, followed by what the
// download reported) or a reason of isSignedByReleaseKey.
bool hasTrustedSignature(
    const QString &documentPath, const QByteArray &document, const ReleaseKeys &keys, QString &reason);
bool hasTrustedSignature(const QUrl &documentUrl, const QByteArray &document, const ReleaseKeys &keys,
    int timeoutMs, QString &reason);

} // namespace vexa
