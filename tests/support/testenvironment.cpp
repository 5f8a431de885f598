#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

namespace vexa {

namespace {

void setVariable(const QByteArray &name, const std::optional<QByteArray> &value)
{
    if (value)
        qputenv(name.constData(), *value);
    else
        qunsetenv(name.constData());
}

} // namespace

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char *name, const std::optional<QByteArray> &value)
    : m_name(name)
{
    if (qEnvironmentVariableIsSet(name))
        m_previous = qgetenv(name);
    setVariable(m_name, value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable()
{
    setVariable(m_name, m_previous);
}

EnvironmentSandbox::EnvironmentSandbox(bool skipEnvironmentUpdate)
    : m_tmp("TMPDIR", QFile::encodeName(tempDirectory()))
    , m_config("XDG_CONFIG_HOME", QFile::encodeName(configDirectory()))
    , m_cache("XDG_CACHE_HOME", QFile::encodeName(m_base.filePath(QStringLiteral("cache"))))
    , m_skip("VEXA_SKIP_ENV_UPDATE", skipEnvironmentUpdate ? std::optional<QByteArray>("1") : std::nullopt)
{
    QDir().mkpath(tempDirectory());
    QDir().mkpath(configDirectory());
}

QString EnvironmentSandbox::tempDirectory() const
{
    return m_base.filePath(QStringLiteral("tmp"));
}

QString EnvironmentSandbox::configDirectory() const
{
    return m_base.filePath(QStringLiteral("config"));
}

QString EnvironmentSandbox::variableFile() const
{
    return configDirectory() + QStringLiteral("/environment.d/60-vexa-root.conf");
}

} // namespace vexa
