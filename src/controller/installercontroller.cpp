#include "controller/installercontroller.h"

#include "catalog/catalogloading.h"
#include "controller/cmakeguidance.h"
#include "controller/plansummary.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "platform/defaultroot.h"

#include <QFileDialog>
#include <QThread>

#include <utility>

namespace vexa {

namespace {

// Where a refresh reloads the catalog from: the catalog source, or the repository base without one.
QString reloadSource(const QString &catalogSource, const QString &repositoryBase)
{
    const QString source = catalogSource.trimmed();
    return source.isEmpty() ? repositoryBase.trimmed() : source;
}

} // namespace

InstallerController::InstallerController(
    PackageCatalog catalog, const QString &repositoryBase, const QString &catalogSource, QObject *parent)
    : QObject(parent)
    , m_catalog(std::move(catalog))
    , m_repositoryBase(repositoryBase)
    , m_catalogSource(reloadSource(catalogSource, repositoryBase))
    , m_rootPath(cleanRootPath(DefaultRootPath()))
    , m_rowBuilder(m_catalog)
{
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

int InstallerController::installCount() const
{
    return freshInstallCount(m_plan);
}

void InstallerController::setRootPath(const QString &value)
{
    const QString cleaned = cleanRootPath(value);
    if (cleaned == m_rootPath)
        return;
    m_rootPath = cleaned;
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
    // Without a source a reload would fall back to the environment and the default endpoint, which
    // is not where this catalog came from.
    if (m_catalogSource.isEmpty())
        return true;

    LoadedCatalog loaded;
    if (!loadCatalog(m_catalogSource, loaded, errorText))
        return false;
    m_catalog = std::move(loaded.catalog);
    m_rowBuilder = PackageRowBuilder(m_catalog);
    m_repositoryBase = loaded.repositoryBase;
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
    m_installedState = inspectRoot(m_catalog, m_rootPath);
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

void InstallerController::rebuildPackageEntries()
{
    m_packageEntries
        = m_rowBuilder.rows({ m_installedState, m_plan, m_selection, m_selectedPackageId, m_searchText });
    Q_EMIT packageEntriesChanged();
}

void InstallerController::updateCmakeHelp()
{
    m_selectedPackageId = guidancePackageId(m_catalog, m_selectedPackageId, m_plan.target);
    m_cmakeHelpText = guidanceText(m_catalog, m_selectedPackageId);
    Q_EMIT cmakeHelpTextChanged();
}

void InstallerController::updateSummary()
{
    m_summaryText
        = planSummaryText(m_catalog, m_repositoryBase, m_installedState, m_plan, m_warnings, m_rootPath);
    Q_EMIT summaryTextChanged();
    setStatusText(planStatusText(m_plan));
}

void InstallerController::browseRoot()
{
    if (m_busy)
        return;

    const QString chosen = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Select Vexa Root"), m_rootPath, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;

    const QString cleaned = cleanRootPath(chosen);
    if (cleaned != m_rootPath) {
        m_rootPath = cleaned;
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

    if (m_rootPath.isEmpty()) {
        Q_EMIT messageRequested(QStringLiteral("Missing install root"),
            QStringLiteral("Select an install root before applying changes."));
        return;
    }
}

} // namespace vexa
