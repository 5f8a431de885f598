#pragma once

#include "catalog/packagecatalog.h"
#include "controller/installercontroller.h"
#include "engine/installedstate.h"
#include "support/testenvironment.h"
#include "support/testhttpserver.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vexa {

// A catalog entry with everything a test does not care about filled in: product = display name,
// version "1.0", code 1, toolchain "msvc2022_64", group "Libraries", marker "<id>/marker.txt", a
// 1024-byte archive under packages/. Keys in `extra` replace or add to these.
QJsonObject testPackage(const QString &id, const QString &displayName, const QJsonObject &extra = {});

// The catalog most controller tests share. Groups in order: Vexa, Tools, Libraries, Frameworks and
// "Qt Addons" (whose only package is listed under its parent). app.top -> lib.mid -> lib.base is a
// two-level dependency chain; qt > qt.core > qt.core.extra and qt > qt.gui form a package tree.
QList<QJsonObject> standardPackages();

// Ids of standardPackages().
namespace ids {
inline const QString Support = QStringLiteral("com.company.vexa.cmake_support");
inline const QString Ninja = QStringLiteral("tool.ninja");
inline const QString Base = QStringLiteral("lib.base");
inline const QString Mid = QStringLiteral("lib.mid");
inline const QString Json = QStringLiteral("lib.json");
inline const QString Top = QStringLiteral("app.top");
inline const QString Qt = QStringLiteral("qt");
inline const QString QtCore = QStringLiteral("qt.core");
inline const QString QtGui = QStringLiteral("qt.gui");
inline const QString QtExtra = QStringLiteral("qt.core.extra");
} // namespace ids

// standardPackages() loaded, for the tests of the list, summary and guidance functions.
PackageCatalog standardCatalog();

// A root's state as inspection reports it: `current` up to date, `stale` needing an upgrade.
InstalledState installedState(
    const QStringList &current, const QStringList &stale = {}, bool needsRepair = false);

// `packages` with the internal_version_code of `packageId` replaced: an older build of the catalog.
QList<QJsonObject> withVersionCode(QList<QJsonObject> packages, const QString &packageId, int code);

// A temporary directory holding a repository ("repo/catalog.json") and a Vexa root ("root").
class ControllerSandbox
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString repository() const { return m_dir.filePath(QStringLiteral("repo")); }
    QString root() const { return m_dir.filePath(QStringLiteral("root")); }
    QString catalogFile() const { return m_dir.filePath(QStringLiteral("repo/catalog.json")); }

    bool writeCatalog(const QList<QJsonObject> &packages, const QJsonObject &topLevel = {});
    bool writeRawCatalog(const QByteArray &data);
    // Loads the repository's catalog file as start-up would.
    bool loadCatalog(PackageCatalog &catalog) const;

    // Creates the files that make each package look installed (for the support package also its
    // version marker with the catalog's code), without touching the manifest files.
    bool placePackages(const PackageCatalog &catalog, const QStringList &packageIds) const;
    // Writes both manifest files for `packageIds` as the engine does after an apply.
    bool writeManifests(const PackageCatalog &catalog, const QSet<QString> &packageIds) const;
    // Both of the above with the same catalog: a root in step with it.
    bool install(const PackageCatalog &catalog, const QStringList &packageIds) const;

    // A controller over the repository's catalog (source and base: the repository directory), moved
    // to this sandbox's root and refreshed. Null when the catalog cannot be loaded.
    std::unique_ptr<InstallerController> makeController() const;

private:
    QTemporaryDir m_dir;
};

// The sample repository of examples/ served by the loopback test server: its catalog, whose
// repository_base_url sends every archive through the server's drip path (1 KiB every 100 ms, so an
// apply can be watched while it downloads), and its archives, which a test may replace. While it
// exists, the archive cache (XDG_CACHE_HOME) is a fresh folder of its own.
class ServedSampleRepository
{
public:
    explicit ServedSampleRepository(TestHttpServer::Scheme scheme = TestHttpServer::Http);
    // Copies the repository and starts the server; false with a test warning when either fails.
    bool start();
    // The served copy of the sample archive `fileName` (in packages/).
    QString archive(const QString &fileName) const;
    // A controller over the served catalog, as start-up creates it, moved to `root` and refreshed.
    std::unique_ptr<InstallerController> makeController(const QString &root) const;
    TestHttpServer &server() { return m_server; }

private:
    QTemporaryDir m_dir;
    TestHttpServer m_server;
    ScopedEnvironmentVariable m_cacheHome;
};

// A controller over standardPackages() in `sandbox`, whose root holds the `installed` packages with
// manifests recording them; for the ids in `older` the manifests record the previous build (code
// one lower), so they need an upgrade; without `withManifests` the root has no manifests at all.
// Null when any step fails.
std::unique_ptr<InstallerController> standardController(ControllerSandbox &sandbox,
    const QStringList &installed = {}, const QStringList &older = {}, bool withManifests = true);

// Ticks ("+id") and unticks ("-id") packages in order.
void applyToggles(InstallerController &controller, const QStringList &toggles);

// Records the names of the controller's signals in emission order.
class SignalRecorder : public QObject
{
public:
    explicit SignalRecorder(InstallerController *controller);
    QStringList names;
    // Title and body of every messageRequested.
    QList<QPair<QString, QString>> messages;
    void clear();
};

// The package rows of `entries` (group headers left out), by package id.
QVariantMap packageRowById(const QVariantList &entries, const QString &packageId);
// "group:Name" and "package:id@depth" for each row, in order: the list's shape at a glance.
QStringList entryShape(const QVariantList &entries);

// Compares `actual` with reference file `name` beside the tests (tests/controller/references/). On
// a mismatch prints a unified diff and returns false. With VEXA_UPDATE_REFERENCES=1 in the
// environment the reference is rewritten instead (see update-references.sh).
bool matchesReference(const QString &name, const QString &actual);

} // namespace vexa
