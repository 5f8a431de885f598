#include "platform/savefile.h"

#include "platform/durability.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cstdio>
#endif

namespace vexa {

namespace {

// Renames `from` over `to` in one step, replacing an existing file at `to`.
bool renameOver(const QString &from, const QString &to)
{
#ifdef Q_OS_WIN
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
               reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()),
               MOVEFILE_REPLACE_EXISTING)
        != 0;
#else
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
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
    // The rename is only durable once the directory holding it is.
    syncDirectory(QFileInfo(path).absolutePath());
    return SaveResult::Saved;
}

UnsyncedSaveFile::UnsyncedSaveFile(const QString &path)
    : m_path(path)
{ }

UnsyncedSaveFile::~UnsyncedSaveFile()
{
    cancelWriting();
}

bool UnsyncedSaveFile::open()
{
    const QFileInfo target(m_path);
    // A fresh, hidden name in the target's directory: the rename stays on one file system, and NewOnly
    // never opens a file that is already there.
    m_file.setFileName(target.dir().filePath(
        QStringLiteral(".%1.%2.part").arg(target.fileName(), QUuid::createUuid().toString(QUuid::Id128))));
    if (m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered))
        return true;
    // What is at that name, if anything, is not ours to remove.
    m_file.setFileName(QString());
    return false;
}

bool UnsyncedSaveFile::commit()
{
    if (!m_file.isOpen())
        return false;
    m_file.close();
    if (m_file.error() != QFileDevice::NoError || !renameOver(m_file.fileName(), m_path)) {
        QFile::remove(m_file.fileName());
        m_file.setFileName(QString());
        return false;
    }
    m_file.setFileName(QString());
    return true;
}

void UnsyncedSaveFile::cancelWriting()
{
    if (m_file.fileName().isEmpty())
        return;
    m_file.close();
    QFile::remove(m_file.fileName());
    m_file.setFileName(QString());
}

} // namespace vexa
