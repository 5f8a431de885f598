#pragma once

#include <QString>

namespace vexa {

// The command line the installer writes for its update helper and the helper reads: "--install-dir",
// "--archive", "--relaunch-exe", "--wait-pid" and a "--relaunch-arg" per argument to pass back.
inline const QString InstallDirOption = QStringLiteral("install-dir");
inline const QString ArchiveOption = QStringLiteral("archive");
inline const QString RelaunchExeOption = QStringLiteral("relaunch-exe");
inline const QString WaitPidOption = QStringLiteral("wait-pid");
inline const QString RelaunchArgOption = QStringLiteral("relaunch-arg");

// The installer's option that skips the self-update check. The helper puts it in front of the
// relaunched installer's arguments, so that the new client does not find the update it was just given.
inline const QString SkipSelfUpdateOption = QStringLiteral("skip-self-update");

// An option as it stands on a command line: "--" and its name.
QString commandLineOption(const QString &name);

// A fresh name for a workspace of an update in the temporary directory, "vexa-installer-update-<uuid>";
// the installer and the helper each take their own.
QString newUpdateWorkspaceName();

} // namespace vexa
