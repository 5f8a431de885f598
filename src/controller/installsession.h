#pragma once

#include "catalog/packagecatalog.h"
#include "controller/applyjob.h"
#include "engine/changeplan.h"
#include "engine/installedstate.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>

namespace vexa {

// The installer's work on one root, without any window: the catalog and where it came from, what the
// root held when it was last inspected, the selection and the plan derived from them, and the texts
// shown for that plan. The main window's controller and the vexa program both plan and apply through
// it, so a root is planned the same way whichever front end asks.
class InstallSession
{
public:
    // `catalogSource` is where reloadCatalog reads from; blank means the repository base.
    InstallSession(PackageCatalog catalog, const QString &repositoryBase, const QString &catalogSource);

    const PackageCatalog &catalog() const { return m_catalog; }
    const QString &repositoryBase() const { return m_repositoryBase; }

    // Reads the catalog again from the catalog source. On failure the catalog held stays and the
    // message is the loader's. `replaced` tells whether a new catalog took the old one's place (a
    // session without a source keeps its catalog and succeeds).
    bool reloadCatalog(QString &errorText, bool &replaced);

    // Reads what the (cleaned) root holds now. The selection and the plan are left as they are.
    void inspectRoot(const QString &root);
    const InstalledState &installedState() const { return m_installedState; }
    // The root the installed state was read from.
    const QString &inspectedRoot() const { return m_inspectedRoot; }

    // The selection a fresh look at the root starts from: what it holds, or the catalog's default
    // packages when it holds none; with dependencies either way.
    void resetSelection();
    const QSet<QString> &selection() const { return m_selection; }
    // Replaces the selection; its dependencies join it when the plan is computed.
    void setSelection(const QSet<QString> &selection);
    // Ticks or unticks one package. A package that selected packages depend on directly stays
    // selected: false, with the message that names them.
    bool setPackageSelected(const QString &packageId, bool selected, QString &blockedText);

    // Plans the selection against the installed state; the selection becomes the plan's target, so
    // dependencies pulled in show as selected.
    void recomputePlan();
    const ChangePlan &plan() const { return m_plan; }
    // The planner's remarks on the last selection planned.
    const QStringList &warnings() const { return m_warnings; }
    bool hasChanges() const;

    // The plan as the summary shows it for the root at `rootPath` (cleaned; blank reads "<not set>").
    QString summaryText(const QString &rootPath) const;
    // The one-line verdict on the plan.
    QString statusText() const;
    // The vexa.lock.json text of the plan's target.
    QByteArray lockText() const;
    // The question to ask before an apply that removes packages; empty when it removes none.
    QString removalConfirmationText() const;

    // Everything an apply of the current plan to `root` needs, copied, for a worker thread.
    ApplyJob applyJob(const QString &root) const;

private:
    PackageCatalog m_catalog;
    QString m_repositoryBase;
    QString m_catalogSource;
    QString m_inspectedRoot;
    InstalledState m_installedState;
    QSet<QString> m_selection;
    ChangePlan m_plan;
    QStringList m_warnings;
};

} // namespace vexa
