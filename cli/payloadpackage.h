#pragma once

#include "cli/orderedjson.h"

#include <QString>

namespace vexa {

// One payload directory's vexa-package.json, read for publishing.
struct PayloadPackage
{
    QString directory;
    // The package's catalog entry in its author's key order; publishing adds what it computes.
    OrderedJson entry;
    // Published as a plain directory (payload_source_dir) rather than an archive.
    bool isDirectoryPayload = false;
    // Where the payload goes, relative to the repository: payload_source_dir for a directory
    // payload; payload_archive, or "packages/<directory name>.zip" when the file names none.
    QString payloadPath;
    bool archivePathGiven = false;
};

// Reads `payloadDirectory`/vexa-package.json. Refused with a message naming the file: a missing
// file, text that is not a JSON object, a key given twice, "sha256" or "size_bytes" (publishing
// computes them), both "payload_archive" and "payload_source_dir", a payload path that is not text,
// not below the repository, or, for an archive, not a ".zip" file.
bool readPayloadPackage(const QString &payloadDirectory, PayloadPackage &package, QString &errorText);

} // namespace vexa
