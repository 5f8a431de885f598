#pragma once

#include <QString>

namespace vexa {

inline const QString ApplicationName = QStringLiteral("Kestrow Vexa Installer");
inline const QString QuickControlsStyleName = QStringLiteral("Basic");

// Must run before the application object exists: Qt Quick Controls fixes its style on first use.
void selectQuickControlsStyle();
// Organisation, application name and version, which QSettings, QStandardPaths and --help read.
void applyApplicationIdentity();

} // namespace vexa
