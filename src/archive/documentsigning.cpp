#include "archive/documentsigning.h"

#include "platform/savefile.h"

#include <QFile>

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <memory>
#endif

namespace vexa {

QString signatureFilePath(const QString &documentPath)
{
    return documentPath + QStringLiteral(".sig");
}

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)

bool signDocument(
    const QByteArray &document, const QByteArray &privateKeyPem, QByteArray &signature, QString &errorText)
{
    const std::unique_ptr<BIO, decltype(&BIO_free)> pem(
        BIO_new_mem_buf(privateKeyPem.constData(), int(privateKeyPem.size())), &BIO_free);
    // No password callback: an encrypted key is refused rather than prompted for on the terminal.
    const std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(pem
            ? PEM_read_bio_PrivateKey(
                pem.get(), nullptr, [](char *, int, int, void *) { return 0; }, nullptr)
            : nullptr,
        &EVP_PKEY_free);
    if (!key || EVP_PKEY_id(key.get()) != EVP_PKEY_ED25519) {
        errorText = QStringLiteral("The signing key is not an unencrypted Ed25519 private key in PEM form.");
        return false;
    }
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    size_t length = 64;
    signature.resize(qsizetype(length));
    // Ed25519 hashes the message itself, so no digest is named and the whole document goes in at once.
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1
        || EVP_DigestSign(context.get(), reinterpret_cast<unsigned char *>(signature.data()), &length,
               reinterpret_cast<const unsigned char *>(document.constData()), size_t(document.size()))
            != 1
        || length != 64) {
        errorText = QStringLiteral("libcrypto could not make the signature.");
        return false;
    }
    return true;
}

#else

bool signDocument(const QByteArray &, const QByteArray &, QByteArray &, QString &errorText)
{
    errorText = QStringLiteral("This build cannot sign: it was made without OpenSSL's libcrypto.");
    return false;
}

#endif

bool writeDocumentSignature(const QString &documentPath, const QByteArray &privateKeyPem, QString &errorText)
{
    QFile document(documentPath);
    if (!document.open(QIODevice::ReadOnly)) {
        errorText = QStringLiteral("Failed to read %1").arg(documentPath);
        return false;
    }
    const QByteArray bytes = document.readAll();
    if (document.error() != QFileDevice::NoError) {
        errorText = QStringLiteral("Failed to read %1").arg(documentPath);
        return false;
    }
    QByteArray signature;
    QString signError;
    if (!signDocument(bytes, privateKeyPem, signature, signError)) {
        errorText = QStringLiteral("Failed to sign %1. %2").arg(documentPath, signError);
        return false;
    }
    const QString signaturePath = signatureFilePath(documentPath);
    if (saveFileWhole(signaturePath, signature.toBase64()) != SaveResult::Saved) {
        errorText = QStringLiteral("Failed to write %1").arg(signaturePath);
        return false;
    }
    return true;
}

} // namespace vexa
