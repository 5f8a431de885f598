#pragma once

#include <QString>

namespace vexa {

// The client version whose update was handed to the helper and did not complete, kept beside the
// user's settings ("Kestrow/vexa-failed-client-update.json" in the configuration location) with the
// program directory it was meant for. The installer records it before it hands off, since a helper
// that is killed or loses power can record nothing, and the helper clears it once the new directory
// is in place. An update that fails (locked files, an unwritable parent, a damaged archive) is thus
// not handed off again at every start.
QString failedUpdateRecordPath();

// Records `version` as failed for `programDirectory`, replacing any earlier record.
bool recordFailedUpdate(const QString &programDirectory, const QString &version);

// The version recorded as failed for `programDirectory`; empty when there is none.
QString failedUpdateVersion(const QString &programDirectory);

// Removes the record when it is the one of `programDirectory`.
void clearFailedUpdate(const QString &programDirectory);

} // namespace vexa
