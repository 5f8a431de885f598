#include "platform/sha256hasher.h"

#if defined(VEXA_HAVE_OPENSSL_CRYPTO)
// The one-call digest functions are deprecated in favour of EVP, whose state cannot be exported; the
// state of these is a plain structure, and they run the same machine code.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

#include <cstring>
#elif defined(Q_OS_WIN)
#include <qt_windows.h>

#include <bcrypt.h>
#else
#include <QCryptographicHash>
#endif

namespace vexa {

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

#elif defined(Q_OS_WIN)

struct Sha256Hasher::Backend
{
    Backend()
    {
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        start();
    }
    ~Backend()
    {
        if (hash)
            BCryptDestroyHash(hash);
        if (algorithm)
            BCryptCloseAlgorithmProvider(algorithm, 0);
    }
    void start()
    {
        if (hash)
            BCryptDestroyHash(hash);
        hash = nullptr;
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0);
    }
    void add(QByteArrayView data)
    {
        // BCryptHashData takes 32-bit lengths, so very large views go in slices.
        const char *cursor = data.data();
        qsizetype left = data.size();
        while (left > 0) {
            const ULONG slice = ULONG(qMin<qsizetype>(left, 1 << 30));
            BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char *>(cursor)), slice, 0);
            cursor += slice;
            left -= slice;
        }
    }
    QByteArray finish()
    {
        QByteArray digest(32, Qt::Uninitialized);
        BCryptFinishHash(hash, reinterpret_cast<PUCHAR>(digest.data()), ULONG(digest.size()), 0);
        start();
        return digest;
    }
    QByteArray save() const { return {}; }
    bool restore(const QByteArray &) { return false; }

    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

#else

struct Sha256Hasher::Backend
{
    void add(QByteArrayView data) { hash.addData(data); }
    QByteArray finish()
    {
        const QByteArray digest = hash.result();
        hash.reset();
        return digest;
    }
    QByteArray save() const { return {}; }
    bool restore(const QByteArray &) { return false; }

    QCryptographicHash hash { QCryptographicHash::Sha256 };
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

} // namespace vexa
