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

// Points TMPDIR, XDG_CONFIG_HOME and XDG_CACHE_HOME (the archive cache) at fresh temporary directories
// for one test function and sets VEXA_SKIP_ENV_UPDATE as asked; everything is restored when the object
// goes away.
class EnvironmentSandbox
{
public:
    explicit EnvironmentSandbox(bool skipEnvironmentUpdate = true);
    EnvironmentSandbox(const EnvironmentSandbox &) = delete;
    EnvironmentSandbox &operator=(const EnvironmentSandbox &) = delete;

    bool isValid() const { return m_base.isValid(); }
    QString tempDirectory() const;
    QString configDirectory() const;
    // Where the published VEXA_ROOT line is kept on this system.
    QString variableFile() const;

private:
    QTemporaryDir m_base;
    ScopedEnvironmentVariable m_tmp;
    ScopedEnvironmentVariable m_config;
    ScopedEnvironmentVariable m_cache;
    ScopedEnvironmentVariable m_skip;
};

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
