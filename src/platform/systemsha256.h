#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <memory>

namespace vexa {

// Incremental SHA-256 from the operating system where it has one (CNG on Windows), otherwise Qt's own
// code. The archive hasher uses it when the build has no libcrypto, which is faster than both.
class SystemSha256
{
public:
    SystemSha256();
    ~SystemSha256();
    SystemSha256(const SystemSha256 &) = delete;
    SystemSha256 &operator=(const SystemSha256 &) = delete;

    void addData(QByteArrayView data);
    // The 32-byte digest of everything added; the hash starts over afterwards.
    QByteArray result();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace vexa
