#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

namespace vexa {

// The Ed25519 public keys whose signatures a build trusts. Empty means the build was made without
// keys: nothing is asked to be signed. Several keys at once let a key be rotated without locking out
// installers that only know the old one or only the new one.
struct ReleaseKeys
{
    QList<QByteArray> publicKeys; // the raw key bytes, 32 each for a well-formed key

    bool isEmpty() const { return publicKeys.isEmpty(); }
};

// The keys of a ";"-separated list of base64 texts, blanks around each ignored. A text that is not a
// well-formed key is kept as what it decodes to, so it can only fail every check: a mistyped key
// never turns the signature requirement off.
ReleaseKeys parseReleaseKeys(QStringView text);

// Whether `signatureFile` (the text of a ".sig": the base64 Ed25519 signature of `document`'s exact
// bytes, on one line) was made by one of `keys`. On false, `reason` says why in the words messages
// use after the document's name: "signature is malformed" or "signature does not match any trusted
// key". Without libcrypto nothing verifies, so a build with keys then refuses everything.
bool isSignedByReleaseKey(
    const ReleaseKeys &keys, const QByteArray &document, const QByteArray &signatureFile, QString &reason);

// What messages say when the ".sig" beside a document is not there.
inline const QString SignatureMissingReason = QStringLiteral("signature is missing");

} // namespace vexa
