#include "release/updatecommandline.h"

#include <QUuid>

namespace vexa {

QString commandLineOption(const QString &name)
{
    return QLatin1String("--") + name;
}

QString newUpdateWorkspaceName()
{
    return QStringLiteral("vexa-installer-update-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
}

} // namespace vexa
