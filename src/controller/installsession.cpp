#include "controller/installsession.h"

#include "catalog/catalogloading.h"
#include "controller/plansummary.h"
#include "engine/lockdocument.h"
#include "engine/rootinspection.h"

#include <utility>

namespace vexa {

namespace {

// Where a reload reads the catalog from: the catalog source, or the repository base without one.
QString reloadSource(const QString &catalogSource, const QString &repositoryBase)
{
    const QString source = catalogSource.trimmed();
    return source.isEmpty() ? repositoryBase.trimmed() : source;
}

} // namespace

InstallSession::InstallSession(
    PackageCatalog catalog, const QString &repositoryBase, const QString &catalogSource)
    : m_catalog(std::move(catalog))
    , m_repositoryBase(repositoryBase)
    , m_catalogSource(reloadSource(catalogSource, repositoryBase))
{ }

bool InstallSession::reloadCatalog(QString &errorText, bool &replaced)
{
    replaced = false;
    // Without a source a reload would fall back to the environment and the default endpoint, which
    // is not where this catalog came from.
    if (m_catalogSource.isEmpty())
        return true;

    LoadedCatalog loaded;
    if (!loadCatalog(m_catalogSource, loaded, errorText))
        return false;
    m_catalog = std::move(loaded.catalog);
    m_repositoryBase = loaded.repositoryBase;
    replaced = true;
    return true;
}

void InstallSession::inspectRoot(const QString &root)
{
    m_installedState = vexa::inspectRoot(m_catalog, root);
    m_inspectedRoot = root;
}

void InstallSession::resetSelection()
{
    m_selection = initialSelection(m_catalog, m_installedState);
}

void InstallSession::setSelection(const QSet<QString> &selection)
{
    m_selection = selection;
}

bool InstallSession::setPackageSelected(const QString &packageId, bool selected, QString &blockedText)
{
    if (selected) {
        // Dependencies join through the closure in recomputePlan.
        m_selection.insert(packageId);
        return true;
    }
    QSet<QString> candidate = m_selection;
    candidate.remove(packageId);
    // Only direct dependents block, so a package needed by a selected one can never be unticked on
    // its own; its own dependencies stay selected and are unticked one by one.
    const QStringList dependents = m_catalog.dependentsOf(packageId, candidate);
    if (!dependents.isEmpty()) {
        blockedText
            = QStringLiteral("You cannot remove this package while these packages remain selected: %1")
                  .arg(dependents.join(QLatin1String(", ")));
        return false;
    }
    m_selection = candidate;
    return true;
}

void InstallSession::recomputePlan()
{
    m_warnings.clear();
    m_plan = computePlan(m_catalog, m_installedState, m_selection, &m_warnings);
    m_selection = m_plan.target;
}

bool InstallSession::hasChanges() const
{
    return planHasChanges(m_plan);
}

QString InstallSession::summaryText(const QString &rootPath) const
{
    return planSummaryText(m_catalog, m_repositoryBase, m_installedState, m_plan, m_warnings, rootPath);
}

QString InstallSession::statusText() const
{
    return planStatusText(m_plan);
}

QByteArray InstallSession::lockText() const
{
    return buildPlanLockDocument(m_catalog, m_plan);
}

QString InstallSession::removalConfirmationText() const
{
    if (m_plan.removeOrder.isEmpty())
        return QString();
    return QStringLiteral("This will remove %1 package(s) from the selected Vexa root. Continue?")
        .arg(m_plan.removeOrder.size());
}

ApplyJob InstallSession::applyJob(const QString &root) const
{
    return ApplyJob { m_catalog, m_repositoryBase, root, m_plan };
}

} // namespace vexa
