#pragma once

#include <QString>

namespace vexa {

// Where a relative path from a catalog or a state file lands once joined to a base directory.
enum class PathPlacement {
    Inside, // strictly below the base
    Base, // the base itself (an empty path, ".", "a/..")
    Outside, // absolute, drive- or share-qualified, or climbing out with ".."
};

// Judged on the cleaned strings alone, so it also holds for paths that do not exist yet.
PathPlacement placementUnder(const QString &baseDirectory, const QString &relativePath);

// True when the path, followed through any links that exist on disk, still ends below `root` (or at
// it). Guards deletions against a directory inside the root that was replaced by a link leading out.
bool staysInsideThroughLinks(const QString &root, const QString &path);

} // namespace vexa
