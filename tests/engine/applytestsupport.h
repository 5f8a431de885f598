#pragma once

#include "catalog/packagecatalog.h"
#include "support/testenvironment.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

namespace vexa {

// Relative path (as an archive entry names it) to content.
using FileMap = QMap<QString, QByteArray>;

// A catalog entry with its install_subdir the marker's first directory, product the display name and
// version "1.<code>".
QJsonObject packageEntry(const QString &id, const QString &name, int code, const QString &marker,
    const QStringList &ownedPaths, const QStringList &dependencies = {});

// Packs `files` into a zip at `zipPath` with python3's zipfile, deflated, each entry named exactly as
// its key (hostile names included). False with a message when python3 fails.
bool makeZip(const FileMap &files, const QString &zipPath, QString &errorText);

// A package repository on disk: archives packed from the given files, or payload directories, plus
// the catalog describing them.
class TestRepository
{
public:
    explicit TestRepository(const QString &directory)
        : m_directory(directory)
    { }

    QString directory() const { return m_directory; }

    // Packs `files` into packages/<id>.zip and records its real digest and size in `entry`.
    bool addArchivePackage(QJsonObject entry, const FileMap &files);
    // Writes `files` below payloads/<id> and names that directory in `entry`.
    bool addDirectoryPackage(QJsonObject entry, const FileMap &files);
    void addPlainPackage(const QJsonObject &entry) { m_packages.append(entry); }
    QByteArray catalogDocument() const;
    bool load(PackageCatalog &catalog) const;

private:
    QString m_directory;
    QJsonArray m_packages;
};

// The lower-case hex SHA-256 of the file, computed here independently of the engine.
QString sha256Hex(const QString &path);

} // namespace vexa
