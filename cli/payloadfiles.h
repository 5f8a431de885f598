#pragma once

#include <QList>
#include <QString>

namespace vexa {

// The file in each payload directory that holds the package's catalog fields.
inline const QString PackageFileName = QStringLiteral("vexa-package.json");

// One entry of a payload directory as it is published.
struct PayloadEntry
{
    QString relativePath; // "/"-separated, below the payload directory
    QString sourcePath;
    bool isDirectory = false;
};

// What a payload directory publishes: everything below it, each directory before its content and
// names in a fixed order, except vexa-package.json at its top and hidden entries (a name starting with "." or
// hidden to the system) at any depth, which the installer does not copy from a payload directory either. A
// link (symbolic link or junction), anything that is neither a file nor a directory, and a name the installer
// would refuse to write or that Windows cannot hold are refused with a message naming them: a repository must
// install the same on every machine.
bool listPayloadEntries(const QString &payloadDirectory, QList<PayloadEntry> &entries, QString &errorText);

} // namespace vexa
