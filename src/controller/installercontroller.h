#pragma once

#include "controller/installsession.h"
#include "controller/packageentries.h"
#include "engine/applyprogress.h"
#include "engine/changeplan.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

QT_BEGIN_NAMESPACE
class QThread;
QT_END_NAMESPACE

class TestInstallerController;

namespace vexa {

// The one object the main window binds to (as the context property "installer"). It holds the
// catalog, the chosen root, what the root holds, the user's selection and the plan derived from them,
// and publishes the package list, the plan summary, the status line and the CMake guidance. Every
// member is touched only on the thread that owns the controller; an apply runs on a worker thread
// that works on copies.
class InstallerController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString rootPath READ rootPath WRITE setRootPath NOTIFY rootPathChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    Q_PROPERTY(QString summaryText READ summaryText NOTIFY summaryTextChanged)
    Q_PROPERTY(QString cmakeHelpText READ cmakeHelpText NOTIFY cmakeHelpTextChanged)
    Q_PROPERTY(QVariantList packageEntries READ packageEntries NOTIFY packageEntriesChanged)
    Q_PROPERTY(QVariantList downloadEntries READ downloadEntries NOTIFY downloadEntriesChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(bool hasChanges READ hasChanges NOTIFY planChanged)
    Q_PROPERTY(int installCount READ installCount NOTIFY planChanged)
    Q_PROPERTY(int upgradeCount READ upgradeCount NOTIFY planChanged)
    Q_PROPERTY(int removeCount READ removeCount NOTIFY planChanged)
    Q_PROPERTY(bool canApply READ canApply NOTIFY canApplyChanged)

public:
    // Takes over the catalog start-up has loaded, then refreshes: the catalog is reloaded from
    // `catalogSource` (or, when that is blank, from `repositoryBase`), the root inspected and the plan
    // computed.
    InstallerController(PackageCatalog catalog, const QString &repositoryBase, const QString &catalogSource,
        QObject *parent = nullptr);
    // Waits for a running apply so that the transaction always completes.
    ~InstallerController() override;

    QString rootPath() const { return m_rootPath; }
    QString searchText() const { return m_searchText; }
    QString statusText() const { return m_statusText; }
    QString summaryText() const { return m_summaryText; }
    QString cmakeHelpText() const { return m_cmakeHelpText; }
    QVariantList packageEntries() const { return m_packageEntries; }
    QVariantList downloadEntries() const { return m_downloadEntries; }
    bool busy() const { return m_busy; }
    bool hasChanges() const;
    // Fresh installs only: upgrades are counted apart.
    int installCount() const;
    int upgradeCount() const { return static_cast<int>(m_plan.toUpgrade.size()); }
    int removeCount() const { return static_cast<int>(m_plan.toRemove.size()); }
    // The apply button's rule: changes to apply, no apply running and a root to apply them to.
    bool canApply() const { return m_canApply; }

    // Stored cleaned: trimmed, with "/" separators and no "." or ".." segments. Writing the root does not
    // inspect it; the window calls refresh() when editing ends.
    void setRootPath(const QString &value);
    void setSearchText(const QString &value);

    Q_INVOKABLE void browseRoot();
    Q_INVOKABLE void refresh();
    // The root field's editing has finished: refreshes when the root differs from the one last
    // inspected. Focus leaving the field (for "Apply Changes", say) finishes its editing too, and
    // inspecting the same root again would drop the ticks just made.
    Q_INVOKABLE void finishRootEditing();
    Q_INVOKABLE void togglePackage(const QString &packageId, bool checked);
    Q_INVOKABLE void selectPackage(const QString &packageId);
    Q_INVOKABLE QString removalConfirmationText() const;
    Q_INVOKABLE void apply();

Q_SIGNALS:
    void rootPathChanged();
    void searchTextChanged();
    void statusTextChanged();
    void summaryTextChanged();
    void cmakeHelpTextChanged();
    void packageEntriesChanged();
    void downloadEntriesChanged();
    void busyChanged();
    void planChanged();
    void canApplyChanged();
    // The only way the controller reports an error or a result to the user.
    void messageRequested(const QString &title, const QString &message);

private:
    // Feeds the download rows progress events that no transaction sends (repeats, strays) and watches
    // the worker thread end.
    friend class ::TestInstallerController;

    bool reloadCatalog(QString &errorText);
    void recomputePlan();
    void setStatusText(const QString &text);
    void rebuildPackageEntries();
    void updateCmakeHelp();
    void updateSummary();
    void updateCanApply();

    // The apply run: the worker thread works on copies and reaches the controller only through calls
    // queued to the controller's thread.
    void startApply();
    void resetDownloadEntries(const ChangePlan &plan);
    void applyProgressEvent(const ApplyProgress &event);
    // True when a row changed.
    bool activateDownloadEntry(const QString &packageId);
    void clearDownloadEntries();
    void finishApply(bool success, const QString &errorText, const QString &root, const ChangePlan &plan);

    // Catalog, installed state, selection and plan: the planning the window shares with vexa.
    InstallSession m_session;
    // The session's plan, which the counts, the confirmation and the download rows read.
    const ChangePlan &m_plan;
    QString m_rootPath;
    QString m_searchText;
    QString m_statusText;
    QString m_summaryText;
    QString m_cmakeHelpText;
    QVariantList m_packageEntries;
    QVariantList m_downloadEntries;
    QHash<QString, int> m_downloadIndexById;
    QString m_selectedPackageId;
    bool m_busy = false;
    bool m_canApply = false;
    QPointer<QThread> m_workerThread;
    // Built for the session's catalog, and built anew whenever the catalog is replaced.
    PackageRowBuilder m_rowBuilder;
};

} // namespace vexa
