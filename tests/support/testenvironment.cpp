#include "support/testenvironment.h"

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

} // namespace vexa
