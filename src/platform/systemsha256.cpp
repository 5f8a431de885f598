#include "platform/systemsha256.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>

#include <bcrypt.h>
#else
#include <QCryptographicHash>
#endif

namespace vexa {

#ifdef Q_OS_WIN

struct SystemSha256::State
{
    State()
    {
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        start();
    }
    ~State()
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

    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
};

#else

struct SystemSha256::State
{
    void add(QByteArrayView data) { hash.addData(data); }
    QByteArray finish()
    {
        const QByteArray digest = hash.result();
        hash.reset();
        return digest;
    }

    QCryptographicHash hash { QCryptographicHash::Sha256 };
};

#endif

SystemSha256::SystemSha256()
    : m_state(std::make_unique<State>())
{ }

SystemSha256::~SystemSha256() = default;

void SystemSha256::addData(QByteArrayView data)
{
    m_state->add(data);
}

QByteArray SystemSha256::result()
{
    return m_state->finish();
}

} // namespace vexa
