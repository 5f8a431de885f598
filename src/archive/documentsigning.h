#pragma once

#include <QByteArray>
#include <QString>

namespace vexa {

// The file that carries a document's signature: "<document>.sig" beside it.
QString signatureFilePath(const QString &documentPath);

// Signs `document`'s exact bytes with the Ed25519 private key in `privateKeyPem` (PEM text). On
// success `signature` holds the raw 64-byte signature.
bool signDocument(
    const QByteArray &document, const QByteArray &privateKeyPem, QByteArray &signature, QString &errorText);

// Signs the file at `documentPath` and writes signatureFilePath(documentPath): one line, the
// signature in base64 without a line break, as `openssl pkeyutl -sign -rawin | base64 -w0` gives it.
bool writeDocumentSignature(const QString &documentPath, const QByteArray &privateKeyPem, QString &errorText);

} // namespace vexa
