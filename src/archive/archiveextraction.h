#pragma once

#include <QString>

namespace vexa {

// How long the system's tar may take for one archive before it is killed and the zip reader takes over.
constexpr int TarTimeoutMs = 120000;
// How long a killed tar is given to go away.
constexpr int TarKillWaitMs = 5000;

// Unpacks the zip archive over the destination directory, replacing whatever exists at each entry's
// path and leaving everything else alone. The system's tar is tried first, the in-process zip reader
// when tar is missing or fails. An archive with an entry that is absolute or climbs out of the
// destination is refused before anything is written. Symbolic-link entries are written as ordinary
// files holding the link text, never as links. On failure returns false with one message.
bool extractArchive(const QString &archivePath, const QString &destinationDirectory, QString &errorText,
    int tarTimeoutMs = TarTimeoutMs);

// The name of a zip reader status value ("NoError", "FileReadError", ...), "UnknownError" for others.
QString zipStatusName(int status);

} // namespace vexa
