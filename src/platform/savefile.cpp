#include "platform/savefile.h"

#include <QFileInfo>
#include <QSaveFile>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <unistd.h>
#endif

namespace vexa {

namespace {

// The rename is only durable once the directory holding it is. Windows has no handle to sync a
// directory with; its file system journals the rename itself.
void syncDirectoryOf(const QString &path)
{
#ifndef Q_OS_WIN
    const int descriptor = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
#else
    Q_UNUSED(path);
#endif
}

} // namespace

SaveResult saveFileWhole(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    // Unbuffered, so a write that does not fit fails here: Qt 6.4 loses a failed flush of its own
    // buffer and would commit a short file as if it were whole.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return SaveResult::OpenFailed;
    if (file.write(content) != content.size() || !file.flush() || !file.commit())
        return SaveResult::WriteFailed;
    syncDirectoryOf(path);
    return SaveResult::Saved;
}

} // namespace vexa
