#pragma once

#include <QSet>
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

    // With `readEntries`, the directory's own entries are read once, so that a path whose first part
    // is not among them is known to be missing without asking the file system again: most packages
    // of a large catalog are absent, and so are the folders they would install into.
    explicit LinkFreeLookup(const QString &directory, bool readEntries = false);
    ~LinkFreeLookup();
    LinkFreeLookup(const LinkFreeLookup &) = delete;
    LinkFreeLookup &operator=(const LinkFreeLookup &) = delete;

    // `relativePath` must be clean ("/"-separated, no "." or ".." parts, not absolute).
    Result find(const QString &relativePath) const;

private:
    int m_directory = -1;
    // The names in the directory, compared as file systems that ignore case might, when they were
    // read whole.
    QSet<QString> m_entries;
    bool m_entriesRead = false;
    mutable bool m_unsupported = false;
};

} // namespace vexa
