#pragma once

#include "catalog/packagedefinition.h"

#include <QString>

#include <functional>

namespace vexa {

// One step of an apply as a value, so that every front end draws its own progress from the same
// events (the window's status line and download rows, a terminal's live line) and none parses
// another's prose.
struct ApplyProgress
{
    enum class Phase {
        Removing, // the package's files are about to be deleted
        Upgrading, // the old version's files are about to be deleted
        Installing, // the package is about to be installed (downloaded first when it must be)
        DownloadStarted, // its archive is about to be fetched
        Downloading, // bytes of the archive arrived (or were found held from an earlier download)
        Downloaded, // the archive passed its checks and is stored
    };
    Phase phase = Phase::Installing;
    QString packageId;
    // The package as messages name it (displayLabel).
    QString label;
    // Bytes of the archive held so far, counting those a continued download held from before; for
    // Downloaded, the archive's size.
    qint64 bytesDone = 0;
    // The archive's size once known, -1 before.
    qint64 bytesTotal = -1;
    // Set (0 to 100) only on the Downloading event where the whole percentage of an archive of known
    // size changes; -1 on the events in between, which only move the bytes on. Those come at most
    // once per TransferProgressIntervalMs (streamdownload.h), enough for a rate and time left.
    int percentage = -1;
};

// Receives the events of an apply in order, on the thread the apply runs on; may be empty.
using ApplyProgressCallback = std::function<void(const ApplyProgress &event)>;

// The event for a package in the given phase, without bytes.
ApplyProgress packageProgress(ApplyProgress::Phase phase, const PackageDefinition &package);

// The apply's progress line for the event: "Removing %1...", "Upgrading %1...", "Installing %1...",
// "Downloading %1...", "Downloading %1 (%2%)" (only for an event that carries a percentage) and
// "Downloaded %1."; empty for an event that makes no line.
QString applyProgressLine(const ApplyProgress &event);

} // namespace vexa
