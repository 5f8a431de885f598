#include "controller/plansummary.h"

#include "controller/installercontroller.h"
#include "engine/lockdocument.h"

#include <QLocale>
#include <QStringList>

namespace vexa {

QString formatByteSize(qint64 bytes)
{
    if (bytes <= 0)
        return QStringLiteral("0 B");

    static const char *const units[] = { "B", "KB", "MB", "GB", "TB" };
    constexpr int lastUnit = 4;
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < lastUnit) {
        value *= 0.0009765625;
        ++unit;
    }

    int decimals = 0;
    if (unit > 0)
        decimals = value >= 100.0 ? 0 : (value >= 10.0 ? 1 : 2);
    return QStringLiteral("%1 %2").arg(QLocale().toString(value, 'f', decimals), QLatin1String(units[unit]));
}

bool willDownload(const PackageDefinition &package, const QString &repositoryBase)
{
    if (!package.payload_url.trimmed().isEmpty())
        return true;
    if (package.payload_archive.trimmed().isEmpty())
        return false;
    const QString base = repositoryBase.trimmed();
    return base.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)
        || base.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

void InstallerController::updateSummary()
{
    qint64 payloadSize = 0;
    qint64 downloadSize = 0;
    for (const QString &id : std::as_const(m_plan.installOrder)) {
        const PackageDefinition *package = m_catalog.findPackage(id);
        if (!package || package->size_bytes < 1)
            continue;
        payloadSize += package->size_bytes;
        if (willDownload(*package, m_repositoryBase))
            downloadSize += package->size_bytes;
    }

    QStringList lines;
    const QString root = m_rootPath.trimmed();
    lines << QStringLiteral("Install root: %1").arg(root.isEmpty() ? QStringLiteral("<not set>") : root);
    lines << QStringLiteral("Installed packages detected: %1").arg(m_installedState.installed.size());
    lines << QStringLiteral("Install payload size: %1").arg(formatByteSize(payloadSize));
    if (downloadSize > 0)
        lines << QStringLiteral("Download size: %1").arg(formatByteSize(downloadSize));
    lines << QString();

    if (m_plan.toUpgrade.isEmpty()) {
        lines << QStringLiteral("Upgrade: none");
    } else {
        lines << QStringLiteral("Upgrade:");
        for (const QString &id : std::as_const(m_plan.installOrder)) {
            const PackageDefinition *package = m_catalog.findPackage(id);
            if (package && m_plan.toUpgrade.contains(id))
                lines << QStringLiteral("  ~ %1").arg(displayLabel(*package));
        }
    }

    if (m_plan.toUpgrade.size() == m_plan.installOrder.size()) {
        lines << QStringLiteral("Install: none");
    } else {
        lines << QStringLiteral("Install:");
        for (const QString &id : std::as_const(m_plan.installOrder)) {
            const PackageDefinition *package = m_catalog.findPackage(id);
            if (package && !m_plan.toUpgrade.contains(id))
                lines << QStringLiteral("  + %1").arg(displayLabel(*package));
        }
    }

    if (m_plan.removeOrder.isEmpty()) {
        lines << QStringLiteral("Remove: none");
    } else {
        lines << QStringLiteral("Remove:");
        for (const QString &id : std::as_const(m_plan.removeOrder)) {
            if (const PackageDefinition *package = m_catalog.findPackage(id))
                lines << QStringLiteral("  - %1").arg(displayLabel(*package));
        }
    }

    lines << (m_plan.repairManifests ? QStringLiteral("Repair: rewrite Vexa manifest metadata")
                                     : QStringLiteral("Repair: none"));

    if (!m_warnings.isEmpty()) {
        lines << QString() << QStringLiteral("Warnings:");
        for (const QString &warning : std::as_const(m_warnings))
            lines << QStringLiteral("  ! %1").arg(warning);
    }

    const QByteArray lockDocument = buildPlanLockDocument(m_catalog, m_plan);
    lines << QString() << QStringLiteral("vexa.lock.json:") << QString::fromUtf8(lockDocument).trimmed();

    const bool hasChanges = planHasChanges(m_plan);
    const bool repairOnly
        = m_plan.repairManifests && m_plan.installOrder.isEmpty() && m_plan.removeOrder.isEmpty();
    lines << QString();
    if (!hasChanges)
        lines << QStringLiteral("No changes to apply.");
    else if (repairOnly)
        lines << QStringLiteral("Applying changes will repair the Vexa manifest metadata for this root.");
    else
        lines << QStringLiteral(
            "Applying changes updates VEXA_ROOT for future shells and rewrites the Vexa manifest.");

    m_summaryText = lines.join(QLatin1Char('\n'));
    Q_EMIT summaryTextChanged();

    if (repairOnly) {
        setStatusText(QStringLiteral("Ready to repair Vexa manifest metadata."));
    } else if (hasChanges) {
        setStatusText(QStringLiteral("Ready to apply %1 install(s), %2 upgrade(s), and %3 removal(s).")
                          .arg(freshInstallCount())
                          .arg(m_plan.toUpgrade.size())
                          .arg(m_plan.toRemove.size()));
    } else {
        setStatusText(QStringLiteral("No pending changes."));
    }
}

} // namespace vexa
