#pragma once

#include <QString>

namespace vexa {

// Looks up paths below one directory, opened once, in a single step that follows no link on the way:
// a check that would otherwise look at every part of every path for a link. Where the system has no
// such step (Windows, or a Linux kernel without openat2) every lookup answers Unknown and the caller
// walks the path itself.
class LinkFreeLookup
{
public:
    enum class Result {
        // Nothing there, or not reachable.
        Missing,
        // There, and no part of the path below the directory is a link.
        Found,
        // Some part of the path (the last one included) is a link; where it leads is not looked at.
        ThroughLink,
        Unknown,
    };

    explicit LinkFreeLookup(const QString &directory);
    ~LinkFreeLookup();
    LinkFreeLookup(const LinkFreeLookup &) = delete;
    LinkFreeLookup &operator=(const LinkFreeLookup &) = delete;

    // `relativePath` must be clean ("/"-separated, no "." or ".." parts, not absolute).
    Result find(const QString &relativePath) const;

private:
    int m_directory = -1;
    mutable bool m_unsupported = false;
};

} // namespace vexa
