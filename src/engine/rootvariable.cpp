#include "engine/rootvariable.h"

#include "platform/userenvironment.h"

#include <QFileInfo>

namespace vexa {

bool skipsEnvironmentUpdate()
{
    bool ok = false;
    // Base 0 reads "0x1f" as hexadecimal and "017" as octal.
    const qlonglong value = qEnvironmentVariable("VEXA_SKIP_ENV_UPDATE").trimmed().toLongLong(&ok, 0);
    return ok && value != 0;
}

bool publishRootVariable(const QString &root, bool clear, QString &errorText)
{
    if (skipsEnvironmentUpdate())
        return true;
    if (clear)
        return clearUserRootVariable(errorText);
    // A blank root has no meaning for later shells; the platform layer refuses the empty value. The
    // absolute form of a clean root is clean.
    const QString published = root.isEmpty() ? QString() : QFileInfo(root).absoluteFilePath();
    return setUserRootVariable(published, errorText);
}

} // namespace vexa
