#pragma once

#include <QString>

namespace vexa {

// The organisation both programs run under; QSettings and QStandardPaths place their files below it,
// and the record of a failed update lives in its folder, where the installer and its helper both find
// it.
inline const QString OrganizationName = QStringLiteral("Kestrow");

// The version of this build of the installer and its helper: the project version CMake was given.
QString releaseVersion();

} // namespace vexa
