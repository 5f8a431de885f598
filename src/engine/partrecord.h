#pragma once

#include "net/rangerequest.h"

#include <QByteArray>
#include <QString>

namespace vexa {

// What a download into the archive cache keeps beside its part file, so that a later attempt can ask
// for the rest of the same resource and need not hash again what it holds: the URL, the version its
// server named, and the state of the hash over the first `hashedBytes` bytes of the part as it was
// when last modified at `partModifiedMs` (milliseconds since the epoch).
struct PartRecord
{
    QString url;
    ResourceVersion version;
    qint64 hashedBytes = 0;
    QByteArray hashState;
    qint64 partModifiedMs = 0;
};

// False when there is no record or it cannot be read; the part then cannot be continued.
bool readPartRecord(const QString &path, PartRecord &record);
// Renamed into place, never synced: a record lost in a power cut only costs the part.
bool writePartRecord(const QString &path, const PartRecord &record);

} // namespace vexa
