#pragma once

#include "support/testenvironment.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace vexa {

// Points TMPDIR and XDG_CONFIG_HOME at fresh temporary directories for one test function and sets
// VEXA_SKIP_ENV_UPDATE as asked; everything is restored when the object goes away.
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
    ScopedEnvironmentVariable m_skip;
};

// Packs the files below `sourceDirectory` into a zip at `zipPath` (python3's zipfile, deflated,
// directories as entries). False with a message when python3 fails.
bool makeZip(const QString &sourceDirectory, const QString &zipPath, QString &errorText);

// The lower-case hex SHA-256 of the file, computed here independently of the engine.
QString sha256Hex(const QString &path);

} // namespace vexa
