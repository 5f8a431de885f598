#pragma once

#include <QString>

namespace vexa {

// The root as it is stored, shown and written into manifests: trimmed, native separators turned into
// "/", duplicate separators and "." / ".." segments resolved. An empty or blank root stays empty.
// The engine cleans a root once, where it comes in (inspectRoot, applyPlan); every helper below those
// takes the cleaned root and trusts it.
QString cleanRootPath(const QString &root);

// The one join helper for every root-relative path, over a root already cleaned with cleanRootPath:
// the root itself for an empty relative path, otherwise the root joined with the relative path
// (native separators turned into "/"). An absolute relative path is returned as it is; whether a path
// may be used at all is for pathPlacement to say.
QString resolveRootPath(const QString &cleanedRoot, const QString &relativePath);

} // namespace vexa
