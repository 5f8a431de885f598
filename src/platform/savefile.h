#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

namespace vexa {

enum class SaveResult {
    Saved,
    OpenFailed, // the temporary file beside the target could not be created
    WriteFailed, // a write, the flush or the rename failed (a full disk above all)
};

// Replaces the file at `path` with `content` in one step: the bytes go to a temporary file beside it,
// every write and the flush are checked, the file is synced and renamed over the target, and the
// directory entry is synced too. On any failure the target is left exactly as it was.
SaveResult saveFileWhole(const QString &path, const QByteArray &content);

// A file written under a temporary name beside `path` and renamed over it by commit(), like QSaveFile,
// but never synced to disk. Only for scratch files that are checked before use and thrown away
// afterwards (the download cache): losing one in a power cut costs nothing, while the sync of a large
// file costs more than the network took to deliver it. Nothing appears at `path` until commit()
// succeeds; a file that was not committed is removed when the object goes.
class UnsyncedSaveFile
{
public:
    explicit UnsyncedSaveFile(const QString &path);
    ~UnsyncedSaveFile();
    UnsyncedSaveFile(const UnsyncedSaveFile &) = delete;
    UnsyncedSaveFile &operator=(const UnsyncedSaveFile &) = delete;

    // Creates the temporary file, unbuffered, so that a write that does not fit fails where it happens.
    bool open();
    qint64 write(QByteArrayView data) { return m_file.write(data.data(), data.size()); }
    // Closes the temporary file and renames it over `path`, replacing whatever was there.
    bool commit();
    // Removes the temporary file; `path` stays as it was.
    void cancelWriting();

private:
    QString m_path;
    QFile m_file;
};

} // namespace vexa
