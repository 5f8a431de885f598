#pragma once

#include <QString>

namespace vexa {

// "<parent>/<prefix>-<new UUID>": a fresh name beside the install directory, so that moving it in or
// out is a rename within one directory.
QString uniqueSiblingPath(const QString &parentDirectory, const QString &prefix);

// Puts the staged directory in the install directory's place: the old directory is renamed to a
// backup beside it, the staged one renamed to the install name, and the backup deleted. When the
// second rename fails the backup is renamed back, so the working client stays where it was. On
// failure returns false with one message.
bool swapInstallDirectory(
    const QString &stagedDirectory, const QString &installDirectory, QString &errorText);

} // namespace vexa
