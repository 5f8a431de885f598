#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace vexa {

// Incremental SHA-256 on the fastest implementation the system offers: OpenSSL's libcrypto where the
// build found it, otherwise the operating system's own (CNG on Windows), otherwise Qt's code. Qt's code
// is several times slower, which matters for multi-gigabyte SDK archives.
class Sha256Hasher
{
public:
    Sha256Hasher();
    ~Sha256Hasher();
    Sha256Hasher(const Sha256Hasher &) = delete;
    Sha256Hasher &operator=(const Sha256Hasher &) = delete;

    void addData(QByteArrayView data);
    // The 32-byte digest of everything added; the hasher starts over afterwards.
    QByteArray result();
    // The digest as 64 lowercase hex characters; the hasher starts over afterwards.
    QString hexResult();

    // The running state, so that a hash over a file that grows across runs of the program need not
    // read the bytes it has seen again. Empty where the implementation cannot export it (all but
    // libcrypto); restoreState() takes only what saveState() of this build gave and is false for
    // anything else, leaving the hasher as it was.
    QByteArray saveState() const;
    bool restoreState(const QByteArray &state);

private:
    struct Backend;
    std::unique_ptr<Backend> m_backend;
};

} // namespace vexa
