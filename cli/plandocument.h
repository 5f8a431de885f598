#pragma once

#include <QJsonObject>
#include <QString>

namespace vexa {

class InstallSession;

// The session's plan as `vexa plan --json` and `vexa apply --json` print it: the root, whether it
// changes anything, the ids to install, upgrade and remove in the order the apply takes them, the
// manifest repair, the target, the planner's warnings, the summary and status texts and the lock
// document.
QJsonObject planDocument(const InstallSession &session, const QString &root);

} // namespace vexa
