#pragma once

#include <QByteArray>
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

} // namespace vexa
