#include "archive/filedigest.h"

#include "platform/sha256hasher.h"

#include <QFile>

namespace vexa {

namespace {

// Large blocks keep the per-call overhead negligible next to the hashing itself.
constexpr qint64 FileHashBlockSize = 2 * 1024 * 1024;

} // namespace

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
