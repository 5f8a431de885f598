#pragma once

#include <QString>
#include <QTemporaryDir>

namespace vexa {

// A tmpfs of a few hundred kilobytes mounted on a fresh temporary directory, for tests of what a full
// disk does. Mounting needs root (or CAP_SYS_ADMIN); where it fails, isMounted() is false and the
// test skips. Unmounted when the object goes away.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(qint64 sizeBytes);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem &) = delete;
    SmallFileSystem &operator=(const SmallFileSystem &) = delete;

    bool isMounted() const { return m_mounted; }
    QString path() const { return m_directory.path(); }
    // Takes up the free space with a filler file until at most `bytes` remain.
    bool fillLeaving(qint64 bytes);
    bool removeFiller();
    // Nothing on it can be written, created or deleted any more.
    bool remountReadOnly();

private:
    QTemporaryDir m_directory;
    bool m_mounted = false;
};

} // namespace vexa
