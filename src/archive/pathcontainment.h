#pragma once

#include <QFileInfo>
#include <QString>

namespace vexa {

// Where a relative path that an archive, a catalog or a state file supplies lands once joined to a
// base directory. This is the one placement rule for archive entries, owned paths, install_subdir,
// markers and payload directories. It is judged on the text alone, so it also holds for paths that do
// not exist yet, and with Windows' reading of names on every system, since a root may be shared:
// "\" separates, "C:" names a drive, and a name of dots and blanks other than "." and ".." ("...",
// ". ", ".. ") is read by Windows as "." or "..", so it is no name at all.
enum class PathPlacement {
    Inside, // strictly below the base
    Base, // the base itself: empty, blank, ".", "a/.."
    Outside, // absolute, drive- or share-qualified, or climbing out with ".."
    NotAName, // a control character, a ":" (an NTFS stream), a name of dots and blanks, or a last part
              // "." or ".." ("qt6/.")
};

PathPlacement pathPlacement(const QString &relativePath);

// The path as it is joined to its base: blanks trimmed, "/" separators, "." and empty parts dropped
// and ".." resolved. Only meaningful for a path whose placement is Inside.
QString cleanRelativePath(const QString &relativePath);

// The name a file taken from a URL or a catalog path is saved under in a directory of ours: the last
// part of `path` ("/" and "\" both separate) when it is a plain file name on every system, otherwise
// `fallback` made plain. A plain name holds no drive ("C:x" is relative to drive C's current
// directory, not to ours), no character Windows refuses, is no device name ("CON", "nul.zip", "COM1"),
// does not end in a dot or a blank (Windows drops them and opens another name) and is not made of dots
// and blanks alone. The fallback keeps letters, digits, "-", "." and "_", every other character
// becoming "_", and gets a leading "_" when it would name a device.
QString downloadFileName(const QString &path, const QString &fallback);

// True for a symbolic link and for a Windows junction, which Qt does not count as a link. Everything
// that walks, replaces or deletes a tree treats both as links: never followed, only removed.
bool isLinkOrJunction(const QFileInfo &info);

// True when `path`, followed through every link that exists on disk along it, ends at or below
// `base`. A path that does not exist yet is judged by its nearest existing parent. Reads check the
// path itself; writes and deletions check the directory they work in, since the last part is
// replaced or removed, never followed.
bool staysInsideThroughLinks(const QString &base, const QString &path);

// Names of the bases that refusals point to: "the install root %1", "the repository directory %1",
// "the destination %1".
QString installRootPlace(const QString &root);
QString repositoryPlace(const QString &repositoryBase);
QString destinationPlace(const QString &directory);

// Why a path is refused: for a placement other than Inside ("it lies outside the install root /v",
// "it names the install root /v itself", "it is not a valid file name"), and for a path that leaves
// `place` through a link.
QString placementReason(PathPlacement placement, const QString &place);
QString throughLinkReason(const QString &place);

// The one refusal message: "Refusing unsafe <what> "<path>" of <owner>: <reason>."
QString unsafePathMessage(
    const QString &what, const QString &path, const QString &owner, const QString &reason);

} // namespace vexa
