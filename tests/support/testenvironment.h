#pragma once

#include <QByteArray>

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

} // namespace vexa
