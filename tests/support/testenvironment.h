#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <optional>

namespace vexa {

// Sets an environment variable (or, for no value, removes it) for the object's lifetime, then puts
// back exactly what was there before: the old value, or no variable at all.
class ScopedEnvironmentVariable
{
public:
    ScopedEnvironmentVariable(const char *name, const std::optional<QByteArray> &value);
    ~ScopedEnvironmentVariable();
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable &) = delete;
    ScopedEnvironmentVariable &operator=(const ScopedEnvironmentVariable &) = delete;

private:
    QByteArray m_name;
    std::optional<QByteArray> m_previous;
};

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

} // namespace vexa
