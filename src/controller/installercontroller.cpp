#include "controller/installercontroller.h"

#include "catalog/catalogsource.h"
#include "engine/rootinspection.h"
#include "platform/defaultroot.h"

#include <QFileDialog>
#include <QThread>

#include <algorithm>
#include <utility>

namespace vexa {

InstallerController::InstallerController(
    PackageCatalog catalog, const QString &repositoryBase, const QString &catalogSource, QObject *parent)
    : QObject(parent)
    , m_catalog(std::move(catalog))
    , m_repositoryBase(repositoryBase)
    , m_catalogSource(catalogSource.trimmed().isEmpty() ? repositoryBase.trimmed() : catalogSource.trimmed())
    , m_rootPath(DefaultRootPath().trimmed())
{
    resetPackageRowCache();
    refresh();
}

InstallerController::~InstallerController()
{
    // The transaction must finish before its results lose their receiver; whatever it posts after
    // this point finds no controller and is dropped.
    if (m_workerThread) {
        m_workerThread->quit();
        m_workerThread->wait();
    }
}

bool InstallerController::hasChanges() const
{
    return planHasChanges(m_plan);
}

int InstallerController::freshInstallCount() const
{
    return static_cast<int>(std::max<qsizetype>(0, m_plan.toInstall.size() - m_plan.toUpgrade.size()));
}

void InstallerController::setRootPath(const QString &value)
{
    const QString trimmed = value.trimmed();
    if (trimmed == m_rootPath)
        return;
    m_rootPath = trimmed;
    Q_EMIT rootPathChanged();
}

void InstallerController::setSearchText(const QString &value)
{
    const QString trimmed = value.trimmed();
    if (trimmed == m_searchText)
        return;
    m_searchText = trimmed;
    Q_EMIT searchTextChanged();
    rebuildPackageEntries();
}

void InstallerController::setStatusText(const QString &text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    Q_EMIT statusTextChanged();
}

bool InstallerController::reloadCatalog(QString &errorText)
{
    const QString source = m_catalogSource.trimmed();
    if (source.isEmpty())
        return true;

    CatalogPayload payload;
    if (!resolveCatalog(source, payload, errorText))
        return false;

    // Parse into a fresh catalog so that a bad document never disturbs the one in use.
    PackageCatalog reloaded;
    QString parseError;
    if (!loadFromJson(payload.data, reloaded, parseError)) {
        errorText
            = QStringLiteral("Failed to parse catalog from %1.\n\n%2").arg(payload.sourceLabel, parseError);
        return false;
    }

    const QString catalogBase = reloaded.repositoryBaseUrl().trimmed();
    m_repositoryBase = catalogBase.isEmpty() ? payload.repositoryBase : catalogBase;
    m_catalog = std::move(reloaded);
    resetPackageRowCache();
    m_catalogSource = source;
    return true;
}

void InstallerController::refresh()
{
    if (m_busy)
        return;

    QString errorText;
    if (!reloadCatalog(errorText)) {
        Q_EMIT messageRequested(QStringLiteral("Catalog refresh failed"), errorText);
        setStatusText(QStringLiteral("Catalog refresh failed."));
    }

    // Every refresh starts over from what the root holds; unapplied edits of the selection are dropped.
    m_installedState = inspectRoot(m_catalog, m_rootPath.trimmed());
    m_selection = initialSelection(m_catalog, m_installedState);
    recomputePlan();
}

void InstallerController::recomputePlan()
{
    m_warnings.clear();
    m_plan = computePlan(m_catalog, m_installedState, m_selection, &m_warnings);
    // The closure's dependencies show as ticked rows.
    m_selection = m_plan.target;
    updateCmakeHelp();
    rebuildPackageEntries();
    updateSummary();
    Q_EMIT planChanged();
}

void InstallerController::browseRoot()
{
    if (m_busy)
        return;

    const QString chosen = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Select Vexa Root"), m_rootPath.trimmed(), QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;

    const QString trimmed = chosen.trimmed();
    if (trimmed != m_rootPath) {
        m_rootPath = trimmed;
        Q_EMIT rootPathChanged();
    }
    // Choosing the same folder again is how the user asks for a rescan.
    refresh();
}

void InstallerController::selectPackage(const QString &packageId)
{
    if (packageId.isEmpty() || packageId == m_selectedPackageId)
        return;
    m_selectedPackageId = packageId;
    updateCmakeHelp();
    rebuildPackageEntries();
}

void InstallerController::togglePackage(const QString &packageId, bool checked)
{
    if (m_busy || packageId.isEmpty())
        return;

    QSet<QString> candidate = m_selection;
    if (checked) {
        // Dependencies join through the closure in recomputePlan.
        candidate.insert(packageId);
    } else {
        candidate.remove(packageId);
        // Only direct dependents block, so a package needed by a selected one can never be unticked on
        // its own; its own dependencies stay selected and are unticked one by one.
        const QStringList dependents = m_catalog.dependentsOf(packageId, candidate);
        if (!dependents.isEmpty()) {
            Q_EMIT messageRequested(QStringLiteral("Dependency required"),
                QStringLiteral("You cannot remove this package while these packages remain selected: %1")
                    .arg(dependents.join(QLatin1String(", "))));
            // The window never flips a check box by itself; the rebuilt rows show it ticked again.
            rebuildPackageEntries();
            return;
        }
    }

    m_selection = candidate;
    recomputePlan();
}

QString InstallerController::removalConfirmationText() const
{
    if (m_plan.removeOrder.isEmpty())
        return QString();
    return QStringLiteral("This will remove %1 package(s) from the selected Vexa root. Continue?")
        .arg(m_plan.removeOrder.size());
}

void InstallerController::apply()
{
    if (m_busy || !hasChanges())
        return;

    if (m_rootPath.trimmed().isEmpty()) {
        Q_EMIT messageRequested(QStringLiteral("Missing install root"),
            QStringLiteral("Select an install root before applying changes."));
        return;
    }
    // Past the checks. The worker that runs the plan is not connected yet, so nothing is started here.
}

} // namespace vexa
