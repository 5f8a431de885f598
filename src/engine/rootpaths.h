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

// True when `relativePath`, joined and cleaned, names something strictly below the root: the check to
// make before deleting a catalog or state.json path, so that "", ".", "../x" or an absolute path
// elsewhere can never make a caller delete the root itself or anything outside it.
bool isInsideRoot(const QString &root, const QString &relativePath);

} // namespace vexa
