#include "archive/sha256hasher.h"

#include <QFile>

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)
#include <openssl/evp.h>
#else
#include "platform/systemsha256.h"
#endif

namespace vexa {

namespace {

// Large blocks keep the per-call overhead negligible next to the hashing itself.
constexpr qint64 FileHashBlockSize = 2 * 1024 * 1024;

} // namespace

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)

struct Sha256Hasher::Backend
{
    Backend()
        : context(EVP_MD_CTX_new())
    {
        start();
    }
    ~Backend() { EVP_MD_CTX_free(context); }
    void start() { EVP_DigestInit_ex(context, EVP_sha256(), nullptr); }
    void add(QByteArrayView data)
    {
        if (!data.isEmpty())
            EVP_DigestUpdate(context, data.data(), size_t(data.size()));
    }
    QByteArray finish()
    {
        QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
        unsigned int length = 0;
        EVP_DigestFinal_ex(context, reinterpret_cast<unsigned char *>(digest.data()), &length);
        digest.truncate(int(length));
        start();
        return digest;
    }

    EVP_MD_CTX *context;
};

#else

struct Sha256Hasher::Backend
{
    void add(QByteArrayView data) { hash.addData(data); }
    QByteArray finish() { return hash.result(); }

    SystemSha256 hash;
};

#endif

Sha256Hasher::Sha256Hasher()
    : m_backend(std::make_unique<Backend>())
{ }

Sha256Hasher::~Sha256Hasher() = default;

void Sha256Hasher::addData(QByteArrayView data)
{
    m_backend->add(data);
}

QByteArray Sha256Hasher::result()
{
    return m_backend->finish();
}

QString Sha256Hasher::hexResult()
{
    return QString::fromLatin1(result().toHex());
}

QString sha256OfFile(const QString &path, QString &errorText)
{
    QFile file(path);
    // Unbuffered: the blocks are large already, a second copy through QFile's buffer only costs time.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        errorText = QStringLiteral("Failed to open %1 for SHA-256 verification").arg(path);
        return {};
    }
    Sha256Hasher hasher;
    QByteArray block(FileHashBlockSize, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(block.data(), block.size());
        if (count < 0) {
            errorText = QStringLiteral("Failed to hash %1").arg(path);
            return {};
        }
        if (count == 0)
            break;
        hasher.addData(QByteArrayView(block.constData(), count));
    }
    return hasher.hexResult();
}

} // namespace vexa
