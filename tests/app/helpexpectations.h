#pragma once

#include <QString>
#include <QStringList>

namespace vexa {

// The option lines of the installer's help after "--help", in order, with white space runs folded
// (help output wraps long descriptions).
inline QStringList expectedHelpOptions()
{
    return {
        QStringLiteral("--repository-dir <directory> Load the catalog and package archives from a specific "
                       "repository directory."),
        QStringLiteral("--catalog-url <url> Load the package catalog from a remote HTTP or HTTPS URL."),
        QStringLiteral(
            "--client-update-url <location> Load the client self-update manifest from a specific URL "
            "or file path."),
        QStringLiteral("--skip-self-update Skip the client self-update check for this launch."),
    };
}

// The first of `entries` that is missing from `help` or stands before the entry listed ahead of it;
// empty when all appear in order.
inline QString firstEntryOutOfOrder(const QString &help, const QStringList &entries)
{
    qsizetype previous = -1;
    for (const QString &entry : entries) {
        const qsizetype position = help.indexOf(entry);
        if (position <= previous)
            return entry;
        previous = position;
    }
    return {};
}

} // namespace vexa
