#pragma once

#include <QString>

namespace vexa {

// "<parent>/<prefix>-<new UUID>": a fresh name beside the install directory, so that moving it in or
// out is a rename within one directory.
QString uniqueSiblingPath(const QString &parentDirectory, const QString &prefix);

// Puts the staged directory, already on disk, in the install directory's place. Where the file system
// can, the two names are exchanged in one step, so there is no instant without a client under the install
// name; elsewhere the old directory is renamed to a backup beside it and the staged one renamed to the
// install name, and a failed second rename renames the backup back. The old directory (or the link that
// was the install directory: the folder it leads to is left as it was) is deleted only once the parent
// directory has the new name on disk, so a power cut can never leave neither client. On failure returns
// false with one message; what happens to the old directory after a successful swap never makes it fail.
bool swapInstallDirectory(
    const QString &stagedDirectory, const QString &installDirectory, QString &errorText);

} // namespace vexa
