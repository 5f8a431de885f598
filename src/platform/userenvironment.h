#pragma once

#include <QString>

namespace vexa {

// Publishes the install root to new processes of the user, or withdraws it. An empty root is refused. On
// Windows this is the value VEXA_ROOT of HKEY_CURRENT_USER\Environment followed by a WM_SETTINGCHANGE
// broadcast; elsewhere it is the per-user systemd environment.d file that new login sessions and user
// services read. On failure returns false with "Failed to update the VEXA_ROOT environment variable.".
bool setUserRootVariable(const QString &root, QString &errorText);
bool clearUserRootVariable(QString &errorText);

// Where the Linux counterpart keeps the variable: environment.d/60-vexa-root.conf under the generic
// configuration location (honours XDG_CONFIG_HOME). Empty on Windows, where the registry holds it.
QString userEnvironmentFilePath();

} // namespace vexa
