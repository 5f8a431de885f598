#pragma once

#include <QSet>
#include <QString>

namespace vexa {

// Unpacks the zip archive over the destination directory, replacing whatever exists at each entry's
// path and leaving everything else alone. The whole archive is judged by its own central directory
// before anything is written, and exactly the entries judged are written, by our own reader: an entry
// that is not strictly inside the destination (see pathPlacement), an encrypted entry or an unknown
// compression method refuses the archive. Nothing is written through a link that leads out of the
// destination, and nothing is left as a link: link entries become plain files holding the link text.
// An entry that fails its size or checksum check is removed again. Entries whose cleaned path is in
// `writeLast` (compared without regard to case) are written after all others, so a package's marker
// only appears once everything else of it is in place. The destination is taken as given: its callers
// clean it where it comes in. On failure returns false with one message.
bool extractArchive(const QString &archivePath, const QString &destinationDirectory, QString &errorText,
    const QSet<QString> &writeLast = {});

} // namespace vexa
