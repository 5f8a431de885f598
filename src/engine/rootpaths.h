#pragma once

#include <QString>

namespace vexa {

// The root as it is stored, shown and written into manifests: trimmed, native separators turned into
// "/", duplicate separators and "." / ".." segments resolved. An empty or blank root stays empty.
QString cleanRootPath(const QString &root);

// The one join helper for every root-relative path: the cleaned root for an empty relative path,
// otherwise the cleaned root joined with the relative path (separators turned into "/"). An absolute
// relative path is returned as it is.
QString resolveRootPath(const QString &root, const QString &relativePath);

// True when `relativePath` names the root itself or something below it once joined and cleaned, so a
// catalog entry such as "../x" or an absolute path can never make a caller delete outside the root.
bool isInsideRoot(const QString &root, const QString &relativePath);

} // namespace vexa
