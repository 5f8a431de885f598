#include "controller/installercontroller.h"

#include "controller/cmakeguidance.h"
#include "controller/plansummary.h"
#include "engine/archiveacquisition.h"
#include "engine/rootpaths.h"
#include "platform/defaultroot.h"

#include <QFileDialog>
#include <QThread>

#include <utility>

namespace vexa {

namespace {

const QString QueuedStatus = QStringLiteral("Queued");
const QString StartingStatus = QStringLiteral("Starting...");
const QString CompletedStatus = QStringLiteral("Completed");

const QString StatusTextKey = QStringLiteral("statusText");
const QString ActiveKey = QStringLiteral("active");
const QString CompletedKey = QStringLiteral("completed");

// A download row read for editing; it is written back in place only when a value really changed, so
// a repeated line emits nothing.
struct DownloadRowEdit
{
    QVariantMap row;
    bool changed = false;

    void set(const QString &key, const QVariant &value)
    {
        if (row.value(key) == value)
            return;
        row.insert(key, value);
        changed = true;
    }
    bool completed() const { return row.value(CompletedKey).toBool(); }
};

} // namespace

InstallerController::InstallerController(
    PackageCatalog catalog, const QString &repositoryBase, const QString &catalogSource, QObject *parent)
    : QObject(parent)
    , m_session(std::move(catalog), repositoryBase, catalogSource)
    , m_plan(m_session.plan())
    , m_rootPath(cleanRootPath(DefaultRootPath()))
    , m_rowBuilder(m_session.catalog())
{
    // The apply button's rule follows each of its inputs.
    for (const auto changed : { &InstallerController::planChanged, &InstallerController::busyChanged,
             &InstallerController::rootPathChanged })
        connect(this, changed, this, &InstallerController::updateCanApply);
    refresh();
}

InstallerController::~InstallerController()
{
    // The transaction must finish before its results lose their receiver; whatever it posts after
    // this point finds no controller and is dropped. The thread is not asked to quit: that would end
    // the event loop of a download in progress and leave the root half changed.
    if (m_workerThread)
        m_workerThread->wait();
}

bool InstallerController::hasChanges() const
{
    return m_session.hasChanges();
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
    bool replaced = false;
    if (!m_session.reloadCatalog(errorText, replaced))
        return false;
    if (replaced)
        m_rowBuilder = PackageRowBuilder(m_session.catalog());
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
    m_session.inspectRoot(m_rootPath);
    m_session.resetSelection();
    recomputePlan();
}

void InstallerController::finishRootEditing()
{
    if (m_rootPath != m_session.inspectedRoot())
        refresh();
}

void InstallerController::updateCanApply()
{
    const bool canApply = hasChanges() && !m_busy && !m_rootPath.isEmpty();
    if (canApply == m_canApply)
        return;
    m_canApply = canApply;
    Q_EMIT canApplyChanged();
}

void InstallerController::recomputePlan()
{
    // The closure's dependencies show as ticked rows.
    m_session.recomputePlan();
    updateCmakeHelp();
    rebuildPackageEntries();
    updateSummary();
    Q_EMIT planChanged();
}

void InstallerController::rebuildPackageEntries()
{
    m_packageEntries = m_rowBuilder.rows(
        { m_session.installedState(), m_plan, m_session.selection(), m_selectedPackageId, m_searchText });
    Q_EMIT packageEntriesChanged();
}

void InstallerController::updateCmakeHelp()
{
    m_selectedPackageId = guidancePackageId(m_session.catalog(), m_selectedPackageId, m_plan.target);
    m_cmakeHelpText = guidanceText(m_session.catalog(), m_selectedPackageId);
    Q_EMIT cmakeHelpTextChanged();
}

void InstallerController::updateSummary()
{
    m_summaryText = m_session.summaryText(m_rootPath);
    Q_EMIT summaryTextChanged();
    setStatusText(m_session.statusText());
}

void InstallerController::browseRoot()
{
    if (m_busy)
        return;

    const QString chosen = QFileDialog::getExistingDirectory(
        nullptr, QStringLiteral("Select Vexa Root"), m_rootPath, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;

    setRootPath(chosen);
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

    QString blockedText;
    if (!m_session.setPackageSelected(packageId, checked, blockedText)) {
        Q_EMIT messageRequested(QStringLiteral("Dependency required"), blockedText);
        // The window never flips a check box by itself; the rebuilt rows show it ticked again.
        rebuildPackageEntries();
        return;
    }
    recomputePlan();
}

QString InstallerController::removalConfirmationText() const
{
    return m_session.removalConfirmationText();
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
    startApply();
}

void InstallerController::startApply()
{
    m_busy = true;
    Q_EMIT busyChanged();
    resetDownloadEntries(m_plan);
    setStatusText(QStringLiteral("Applying changes..."));

    // The worker owns copies, so this thread may go on recomputing plans while the apply runs. The
    // controller outlives the worker (its destructor waits), and whatever reaches this thread after
    // the controller is gone is dropped by the guard.
    const QPointer<InstallerController> guard(this);
    QThread *thread = QThread::create([guard, job = m_session.applyJob(m_rootPath)] {
        const ApplyProgressCallback progress = [guard](const ApplyProgress &event) {
            // The window shows lines only: the events in between, which only move the bytes on,
            // are not sent across.
            QString line = applyProgressLine(event);
            if (!guard || line.isEmpty())
                return;
            // Queued one by one, so the events arrive in the order the transaction sent them.
            QMetaObject::invokeMethod(
                guard.data(),
                [guard, event, line = std::move(line)] {
                    if (!guard)
                        return;
                    guard->setStatusText(line);
                    guard->applyProgressEvent(event);
                },
                Qt::QueuedConnection);
        };
        QString errorText;
        const bool success = job.run(errorText, progress);
        if (!guard)
            return;
        QMetaObject::invokeMethod(
            guard.data(),
            [guard, success, errorText, root = job.root, plan = job.plan] {
                if (guard)
                    guard->finishApply(success, errorText, root, plan);
            },
            Qt::QueuedConnection);
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_workerThread = thread;
    thread->start();
}

void InstallerController::resetDownloadEntries(const ChangePlan &plan)
{
    QVariantList rows;
    QHash<QString, int> indexById;
    // Dependencies first, the order the downloads happen in; an upgrade that downloads is listed too.
    for (const QString &id : plan.installOrder) {
        const PackageDefinition *package = m_session.catalog().findPackage(id);
        if (!package || !downloadsArchive(*package, m_session.repositoryBase()))
            continue;
        const QString label = displayLabel(*package);
        indexById.insert(id, static_cast<int>(rows.size()));
        rows.append(QVariantMap { { QStringLiteral("packageId"), id },
            { QStringLiteral("title"), package->display_name }, { QStringLiteral("label"), label },
            { StatusTextKey, QueuedStatus }, { ActiveKey, false }, { CompletedKey, false } });
    }
    m_downloadEntries = rows;
    m_downloadIndexById = indexById;
    // Also for no rows at all: the window then shows the status line alone.
    Q_EMIT downloadEntriesChanged();
}

void InstallerController::applyProgressEvent(const ApplyProgress &event)
{
    using Phase = ApplyProgress::Phase;
    const bool starts = event.phase == Phase::DownloadStarted;
    const bool moves = event.phase == Phase::Downloading && event.percentage >= 0;
    // A package without a row (a reinstalled kept package, say) leaves the rows as they are.
    const int index = m_downloadIndexById.value(event.packageId, -1);
    if (index < 0 || !(starts || moves || event.phase == Phase::Downloaded))
        return;

    bool changed = (starts || moves) && activateDownloadEntry(event.packageId);
    DownloadRowEdit edit { m_downloadEntries.at(index).toMap() };
    if (starts) {
        edit.set(StatusTextKey, StartingStatus);
        edit.set(ActiveKey, true);
        edit.set(CompletedKey, false);
    } else if (moves) {
        // A completed row keeps "Completed".
        if (!edit.completed()) {
            edit.set(StatusTextKey, QStringLiteral("%1%").arg(event.percentage));
            edit.set(ActiveKey, true);
        }
    } else {
        edit.set(StatusTextKey, CompletedStatus);
        edit.set(ActiveKey, false);
        edit.set(CompletedKey, true);
    }
    if (edit.changed) {
        m_downloadEntries[index] = edit.row;
        changed = true;
    }
    if (changed)
        Q_EMIT downloadEntriesChanged();
}

bool InstallerController::activateDownloadEntry(const QString &packageId)
{
    const int activeIndex = m_downloadIndexById.value(packageId, -1);
    if (activeIndex < 0)
        return false;
    bool changed = false;
    // Completed rows are never touched, so at most one unfinished row is active.
    for (int index = 0; index < m_downloadEntries.size(); ++index) {
        DownloadRowEdit edit { m_downloadEntries.at(index).toMap() };
        if (edit.completed())
            continue;
        edit.set(ActiveKey, index == activeIndex);
        if (edit.changed) {
            m_downloadEntries[index] = edit.row;
            changed = true;
        }
    }
    return changed;
}

void InstallerController::clearDownloadEntries()
{
    if (m_downloadEntries.isEmpty() && m_downloadIndexById.isEmpty())
        return;
    m_downloadEntries.clear();
    m_downloadIndexById.clear();
    Q_EMIT downloadEntriesChanged();
}

void InstallerController::finishApply(
    bool success, const QString &errorText, const QString &root, const ChangePlan &plan)
{
    m_workerThread = nullptr;
    // Idle and without rows before anything is reported, so a message shows over an editable window.
    m_busy = false;
    Q_EMIT busyChanged();
    clearDownloadEntries();

    if (success) {
        Q_EMIT messageRequested(QStringLiteral("Vexa ready"),
            QStringLiteral(
                "Changes applied successfully. Restart terminals and VS Code so VEXA_ROOT is refreshed."));
        setStatusText(QStringLiteral("Changes applied successfully."));
        m_session.inspectRoot(root);
        m_session.setSelection(plan.target);
    } else {
        // The root may be partly changed; the next refresh reads it as it is.
        setStatusText(QStringLiteral("Apply failed."));
        Q_EMIT messageRequested(QStringLiteral("Apply failed"), errorText);
    }
    recomputePlan();
}

} // namespace vexa
