#include "engine/applyprogress.h"

namespace vexa {

ApplyProgress packageProgress(ApplyProgress::Phase phase, const PackageDefinition &package)
{
    ApplyProgress event;
    event.phase = phase;
    event.packageId = package.package_id;
    event.label = displayLabel(package);
    return event;
}

QString applyProgressLine(const ApplyProgress &event)
{
    switch (event.phase) {
    case ApplyProgress::Phase::Removing:
        return QStringLiteral("Removing %1...").arg(event.label);
    case ApplyProgress::Phase::Upgrading:
        return QStringLiteral("Upgrading %1...").arg(event.label);
    case ApplyProgress::Phase::Installing:
        return QStringLiteral("Installing %1...").arg(event.label);
    case ApplyProgress::Phase::DownloadStarted:
        return QStringLiteral("Downloading %1...").arg(event.label);
    case ApplyProgress::Phase::Downloading:
        if (event.percentage < 0)
            return QString();
        return QStringLiteral("Downloading %1 (%2%)").arg(event.label, QString::number(event.percentage));
    case ApplyProgress::Phase::Downloaded:
        return QStringLiteral("Downloaded %1.").arg(event.label);
    }
    return QString();
}

} // namespace vexa
