#pragma once

#include <QString>
#include <QStringList>

namespace vexa {

// Every release records its own top-level entries at the top of its program directory, the record
// itself included: {"schema_version": 1, "version": "1.0.0", "entries": ["CompanyVexaInstaller", ...]}.
// The build writes it and the client archive ships it.
inline const QString ReleaseRecordFileName = QStringLiteral("vexa-release.json");

// The entries the release that is installed in `programDirectory` recorded; false when it has no
// readable record (releases before the record, or a damaged one).
bool readReleaseEntries(const QString &programDirectory, QStringList &entries);

// The top-level entries a client archive ships: the first part of each entry's path, leaving out the
// archive's top folder itself ("./") and hidden names, which never reach the program directory. On
// failure returns false with one message.
bool releaseEntriesOfArchive(const QString &archivePath, QStringList &entries, QString &errorText);

// The top-level entries of `programDirectory` that no release put there: neither recorded by the
// installed release nor shipped by the new one. Without a record, the installed release is taken to
// have held `programNames` (the installer and its update helper) alone. Names compare exactly, hidden
// entries included. Sorted; empty when the directory may be replaced whole.
QStringList foreignEntries(
    const QString &programDirectory, const QStringList &shippedEntries, const QStringList &programNames);

// The one check before a program directory is replaced, made by the installer before it hands off and
// by the helper before it touches anything: the new release is the client archive at `archivePath`.
// The directory is replaced only when it holds nothing but releases' own entries, so that a folder the
// person also keeps other things in (Downloads) is never renamed away and nothing of theirs is moved.
// Otherwise false with one message naming the first foreign entries.
bool checkProgramDirectoryReplaceable(const QString &programDirectory, const QString &archivePath,
    const QStringList &programNames, QString &errorText);

} // namespace vexa
