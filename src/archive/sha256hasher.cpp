#include "archive/sha256hasher.h"

#include <QFile>

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)
// The one-call digest functions are deprecated in favour of EVP, whose state cannot be exported; the
// state of these is a plain structure, and they run the same machine code.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <cstring>
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
    Backend() { SHA256_Init(&context); }
    void add(QByteArrayView data)
    {
        if (!data.isEmpty())
            SHA256_Update(&context, data.data(), size_t(data.size()));
    }
    QByteArray finish()
    {
        QByteArray digest(SHA256_DIGEST_LENGTH, Qt::Uninitialized);
        SHA256_Final(reinterpret_cast<unsigned char *>(digest.data()), &context);
        SHA256_Init(&context);
        return digest;
    }
    // Tagged with the structure's size, so that a state from a build with another layout is refused.
    QByteArray save() const
    {
        return stateTag() + QByteArray(reinterpret_cast<const char *>(&context), sizeof context);
    }
    bool restore(const QByteArray &state)
    {
        const QByteArray tag = stateTag();
        if (state.size() != tag.size() + qsizetype(sizeof context) || !state.startsWith(tag))
            return false;
        SHA256_CTX restored;
        std::memcpy(&restored, state.constData() + tag.size(), sizeof restored);
        if (restored.md_len != SHA256_DIGEST_LENGTH || restored.num >= SHA256_CBLOCK)
            return false;
        context = restored;
        return true;
    }
    static QByteArray stateTag() { return "openssl-sha256/" + QByteArray::number(sizeof(SHA256_CTX)) + '/'; }

    SHA256_CTX context;
};

#else

struct Sha256Hasher::Backend
{
    void add(QByteArrayView data) { hash.addData(data); }
    QByteArray finish() { return hash.result(); }
    QByteArray save() const { return {}; }
    bool restore(const QByteArray &) { return false; }

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

QByteArray Sha256Hasher::saveState() const
{
    return m_backend->save();
}

bool Sha256Hasher::restoreState(const QByteArray &state)
{
    return m_backend->restore(state);
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
