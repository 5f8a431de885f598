#include "archive/releasesignature.h"

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)
#include <openssl/evp.h>
#endif

#include <memory>

namespace vexa {

namespace {

constexpr qsizetype Ed25519SignatureSize = 64;

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)

bool verifyEd25519(const QByteArray &publicKey, const QByteArray &message, const QByteArray &signature)
{
    // A key of the wrong length is refused here rather than read past its end.
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
            reinterpret_cast<const unsigned char *>(publicKey.constData()), size_t(publicKey.size())),
        &EVP_PKEY_free);
    if (!key)
        return false;
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    // Ed25519 hashes internally, so no digest is named and the message is verified in one call.
    return context && EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) == 1
        && EVP_DigestVerify(context.get(), reinterpret_cast<const unsigned char *>(signature.constData()),
               size_t(signature.size()), reinterpret_cast<const unsigned char *>(message.constData()),
               size_t(message.size()))
        == 1;
}

#else

bool verifyEd25519(const QByteArray &, const QByteArray &, const QByteArray &)
{
    return false;
}

#endif

} // namespace

ReleaseKeys parseReleaseKeys(QStringView text)
{
    ReleaseKeys keys;
    for (const QStringView part : text.split(QLatin1Char(';'))) {
        const QByteArray encoded = part.trimmed().toLatin1();
        if (!encoded.isEmpty())
            keys.publicKeys.append(QByteArray::fromBase64(encoded));
    }
    return keys;
}

bool isSignedByReleaseKey(
    const ReleaseKeys &keys, const QByteArray &document, const QByteArray &signatureFile, QString &reason)
{
    const auto decoded
        = QByteArray::fromBase64Encoding(signatureFile.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != Ed25519SignatureSize) {
        reason = QStringLiteral("signature is malformed");
        return false;
    }
    for (const QByteArray &key : keys.publicKeys) {
        if (verifyEd25519(key, document, decoded.decoded))
            return true;
    }
    reason = QStringLiteral("signature does not match any trusted key");
    return false;
}

} // namespace vexa
