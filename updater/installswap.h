#pragma once

#include <QString>

namespace vexa {

// "<parent>/<prefix>-<new UUID>": a fresh name beside the install directory, so that moving it in or
// out is a rename within one directory.
QString uniqueSiblingPath(const QString &parentDirectory, const QString &prefix);

// Puts the staged directory in the install directory's place: the old directory is renamed to a
// backup beside it and the staged one renamed to the install name. The backup's top-level entries
// that the new directory does not hold (the user's own files, old files the release no longer ships)
// are then moved into it, and the backup is deleted without following links, or kept when anything
// could not be moved. An install directory that was a link loses only the link. When the second rename
// fails the backup is renamed back, so the working client stays where it was. On failure returns false
// with one message; what happens to the backup after a successful swap never makes it fail.
bool swapInstallDirectory(
    const QString &stagedDirectory, const QString &installDirectory, QString &errorText);

} // namespace vexa
