#include "controllersandbox.h"

#include "catalog/catalogloading.h"
#include "engine/manifestfiles.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "support/testcatalog.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace vexa {

QJsonObject testPackage(const QString &id, const QString &displayName, const QJsonObject &extra)
{
    QJsonObject defaults {
        { QStringLiteral("product"), displayName },
        { QStringLiteral("version"), QStringLiteral("1.0") },
        { QStringLiteral("internal_version_code"), 1 },
        { QStringLiteral("toolchain"), QStringLiteral("msvc2022_64") },
        { QStringLiteral("platform"), QStringLiteral("windows-x64") },
        { QStringLiteral("group"), QStringLiteral("Libraries") },
        { QStringLiteral("install_subdir"), id },
        { QStringLiteral("marker_relative_path"), QStringLiteral("%1/marker.txt").arg(id) },
        { QStringLiteral("payload_archive"), QStringLiteral("packages/%1.zip").arg(id) },
        { QStringLiteral("size_bytes"), 1024 },
        { QStringLiteral("owned_paths"), QJsonArray { id } },
    };
    for (auto it = extra.begin(); it != extra.end(); ++it)
        defaults.insert(it.key(), it.value());
    return testPackageEntry(id, displayName, defaults);
}

QList<QJsonObject> standardPackages()
{
    const auto deps = [](const QString &id) { return QJsonArray { id }; };
    return {
        testPackage(ids::Support, QStringLiteral("Vexa CMake Support"),
            { { QStringLiteral("product"), QStringLiteral("VexaCMakeSupport") },
                { QStringLiteral("group"), QStringLiteral("Vexa") },
                { QStringLiteral("internal_version_code"), 3 },
                { QStringLiteral("marker_relative_path"), QStringLiteral("cmake/toolchains/vexa.cmake") },
                { QStringLiteral("size_bytes"), 4096 }, { QStringLiteral("default_selected"), true } }),
        testPackage(ids::Ninja, QStringLiteral("Ninja"),
            { { QStringLiteral("group"), QStringLiteral("Tools") },
                { QStringLiteral("version"), QStringLiteral("1.12.1") },
                { QStringLiteral("size_bytes"), 262144 }, { QStringLiteral("default_selected"), true } }),
        testPackage(ids::Base, QStringLiteral("Base Runtime"),
            { { QStringLiteral("product"), QStringLiteral("BaseRuntime") },
                { QStringLiteral("internal_version_code"), 4 },
                { QStringLiteral("toolchain"), QStringLiteral("mingw_64") },
                { QStringLiteral("description"), QStringLiteral("Runtime every library here builds on") },
                { QStringLiteral("size_bytes"), 1536 } }),
        testPackage(ids::Mid, QStringLiteral("Middleware"),
            { { QStringLiteral("product"), QStringLiteral("OpenSSL") },
                { QStringLiteral("internal_version_code"), 2 },
                { QStringLiteral("dependencies"), deps(ids::Base) },
                { QStringLiteral("size_bytes"), 15728640 } }),
        testPackage(ids::Json, QStringLiteral("JSON for Modern C++"),
            { { QStringLiteral("product"), QStringLiteral("nlohmann_json") },
                { QStringLiteral("version"), QStringLiteral("3.11.3") },
                { QStringLiteral("toolchain"), QString() },
                { QStringLiteral("platform"), QStringLiteral("any") }, { QStringLiteral("size_bytes"), 0 } }),
        testPackage(ids::Top, QStringLiteral("Top Framework"),
            { { QStringLiteral("product"), QStringLiteral("OpenCV") },
                { QStringLiteral("group"), QStringLiteral("Frameworks") },
                { QStringLiteral("internal_version_code"), 7 },
                { QStringLiteral("dependencies"), deps(ids::Mid) } }),
        testPackage(ids::Qt, QStringLiteral("Qt 6"),
            { { QStringLiteral("product"), QStringLiteral("Qt") },
                { QStringLiteral("group"), QStringLiteral("Frameworks") },
                { QStringLiteral("version"), QStringLiteral("6.7.2") },
                { QStringLiteral("internal_version_code"), 2 } }),
        testPackage(ids::QtCore, QStringLiteral("Qt Core"),
            { { QStringLiteral("product"), QStringLiteral("Qt") },
                { QStringLiteral("group"), QStringLiteral("Frameworks") },
                { QStringLiteral("parent_package_id"), ids::Qt } }),
        testPackage(ids::QtGui, QStringLiteral("Qt Gui"),
            { { QStringLiteral("product"), QStringLiteral("Qt") },
                { QStringLiteral("group"), QStringLiteral("Qt Addons") },
                { QStringLiteral("parent_package_id"), ids::Qt },
                { QStringLiteral("dependencies"), deps(ids::QtCore) } }),
        testPackage(ids::QtExtra, QStringLiteral("Qt Core Extras"),
            { { QStringLiteral("product"), QStringLiteral("Qt") },
                { QStringLiteral("group"), QStringLiteral("Frameworks") },
                { QStringLiteral("parent_package_id"), ids::QtCore },
                { QStringLiteral("description"), QStringLiteral("Concurrent helpers") } }),
    };
}

PackageCatalog standardCatalog()
{
    return testCatalog(standardPackages());
}

InstalledState installedState(const QStringList &current, const QStringList &stale, bool needsRepair)
{
    InstalledState state;
    state.current = QSet<QString>(current.cbegin(), current.cend());
    state.stale = QSet<QString>(stale.cbegin(), stale.cend());
    state.installed = state.current + state.stale;
    state.hasInstalledContent = !state.installed.isEmpty();
    state.needsRepair = needsRepair;
    return state;
}

QList<QJsonObject> withVersionCode(QList<QJsonObject> packages, const QString &packageId, int code)
{
    for (QJsonObject &package : packages) {
        if (package.value(QLatin1String("package_id")).toString() == packageId)
            package.insert(QStringLiteral("internal_version_code"), code);
    }
    return packages;
}

bool ControllerSandbox::writeCatalog(const QList<QJsonObject> &packages, const QJsonObject &topLevel)
{
    return writeRawCatalog(testCatalogDocument(packages, topLevel));
}

bool ControllerSandbox::writeRawCatalog(const QByteArray &data)
{
    return writeTestFile(catalogFile(), data);
}

bool ControllerSandbox::loadCatalog(PackageCatalog &catalog) const
{
    return loadTestCatalog(readTestFile(catalogFile()), catalog);
}

bool ControllerSandbox::placePackages(const PackageCatalog &catalog, const QStringList &packageIds) const
{
    for (const QString &id : packageIds) {
        const PackageDefinition *package = catalog.findPackage(id);
        if (!package)
            return false;
        for (const QString &relative : requiredFiles(*package, QString())) {
            const QByteArray content = relative == SupportVersionMarkerPath
                ? QByteArray::number(package->internal_version_code)
                : QByteArray("payload\n");
            if (!writeTestFile(resolveRootPath(root(), relative), content))
                return false;
        }
    }
    return true;
}

bool ControllerSandbox::writeManifests(const PackageCatalog &catalog, const QSet<QString> &packageIds) const
{
    QString errorText;
    if (!writeStateFile(catalog, root(), packageIds, errorText)
        || !writeInstalledPackagesFile(catalog, root(), packageIds, errorText)) {
        qWarning("manifests not written: %s", qPrintable(errorText));
        return false;
    }
    return true;
}

bool ControllerSandbox::install(const PackageCatalog &catalog, const QStringList &packageIds) const
{
    return placePackages(catalog, packageIds)
        && writeManifests(catalog, QSet<QString>(packageIds.cbegin(), packageIds.cend()));
}

std::unique_ptr<InstallerController> ControllerSandbox::makeController() const
{
    PackageCatalog catalog;
    if (!loadCatalog(catalog))
        return nullptr;
    auto controller = std::make_unique<InstallerController>(std::move(catalog), repository(), repository());
    controller->setRootPath(root());
    controller->refresh();
    return controller;
}

std::unique_ptr<InstallerController> standardController(
    ControllerSandbox &sandbox, const QStringList &installed, const QStringList &older, bool withManifests)
{
    if (!sandbox.writeCatalog(standardPackages()))
        return nullptr;
    PackageCatalog catalog;
    if (!sandbox.loadCatalog(catalog) || !sandbox.placePackages(catalog, installed))
        return nullptr;
    if (withManifests && !installed.isEmpty()) {
        QList<QJsonObject> recorded = standardPackages();
        for (const QString &id : older)
            recorded = withVersionCode(recorded, id, catalog.findPackage(id)->internal_version_code - 1);
        PackageCatalog recordedCatalog;
        if (!loadTestCatalog(testCatalogDocument(recorded), recordedCatalog)
            || !sandbox.writeManifests(recordedCatalog, QSet<QString>(installed.cbegin(), installed.cend())))
            return nullptr;
    }
    return sandbox.makeController();
}

ServedSampleRepository::ServedSampleRepository(TestHttpServer::Scheme scheme)
    : m_server(m_dir.path(), scheme)
    , m_cacheHome("XDG_CACHE_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("xdg-cache"))))
{ }

QString ServedSampleRepository::archive(const QString &fileName) const
{
    return m_dir.filePath(QStringLiteral("packages/") + fileName);
}

bool ServedSampleRepository::start()
{
    if (!m_server.start()) {
        qWarning("%s", qPrintable(m_server.errorString()));
        return false;
    }
    const QString sample = QStringLiteral(VEXA_TESTS_DIR "/../examples/repository/");
    QJsonObject catalog = QJsonDocument::fromJson(readTestFile(sample + "catalog.json")).object();
    catalog.insert(QStringLiteral("repository_base_url"), m_server.url(QStringLiteral("/drip/")).toString());
    if (!writeTestFile(m_dir.filePath(QStringLiteral("catalog.json")), QJsonDocument(catalog).toJson()))
        return false;
    const QStringList archives = QDir(sample + "packages").entryList(QDir::Files);
    for (const QString &name : archives) {
        if (!writeTestFile(archive(name), readTestFile(sample + "packages/" + name)))
            return false;
    }
    return !archives.isEmpty();
}

std::unique_ptr<InstallerController> ServedSampleRepository::makeController(const QString &root) const
{
    LoadedCatalog loaded;
    QString errorText;
    if (!loadCatalog(m_server.url(QStringLiteral("/catalog.json")).toString(), loaded, errorText)) {
        qWarning("%s", qPrintable(errorText));
        return nullptr;
    }
    auto controller = std::make_unique<InstallerController>(
        std::move(loaded.catalog), loaded.repositoryBase, loaded.catalogSource);
    controller->setRootPath(root);
    controller->refresh();
    return controller;
}

void applyToggles(InstallerController &controller, const QStringList &toggles)
{
    for (const QString &toggle : toggles)
        controller.togglePackage(toggle.mid(1), toggle.startsWith(QLatin1Char('+')));
}

SignalRecorder::SignalRecorder(InstallerController *controller)
{
    const auto record
        = [this](const char *name) { return [this, name] { names.append(QLatin1String(name)); }; };
    connect(controller, &InstallerController::rootPathChanged, this, record("rootPathChanged"));
    connect(controller, &InstallerController::searchTextChanged, this, record("searchTextChanged"));
    connect(controller, &InstallerController::statusTextChanged, this, record("statusTextChanged"));
    connect(controller, &InstallerController::summaryTextChanged, this, record("summaryTextChanged"));
    connect(controller, &InstallerController::cmakeHelpTextChanged, this, record("cmakeHelpTextChanged"));
    connect(controller, &InstallerController::packageEntriesChanged, this, record("packageEntriesChanged"));
    connect(controller, &InstallerController::downloadEntriesChanged, this, record("downloadEntriesChanged"));
    connect(controller, &InstallerController::busyChanged, this, record("busyChanged"));
    connect(controller, &InstallerController::planChanged, this, record("planChanged"));
    connect(controller, &InstallerController::messageRequested, this,
        [this](const QString &title, const QString &message) {
            names.append(QStringLiteral("messageRequested"));
            messages.append({ title, message });
        });
}

void SignalRecorder::clear()
{
    names.clear();
    messages.clear();
}

QVariantMap packageRowById(const QVariantList &entries, const QString &packageId)
{
    for (const QVariant &entry : entries) {
        const QVariantMap row = entry.toMap();
        if (row.value(QStringLiteral("kind")).toString() == QLatin1String("package")
            && row.value(QStringLiteral("packageId")).toString() == packageId)
            return row;
    }
    return {};
}

QStringList entryShape(const QVariantList &entries)
{
    QStringList shape;
    for (const QVariant &entry : entries) {
        const QVariantMap row = entry.toMap();
        if (row.value(QStringLiteral("kind")).toString() == QLatin1String("group"))
            shape.append(QStringLiteral("group:%1").arg(row.value(QStringLiteral("groupName")).toString()));
        else
            shape.append(QStringLiteral("package:%1@%2")
                             .arg(row.value(QStringLiteral("packageId")).toString(),
                                 QString::number(row.value(QStringLiteral("depth")).toInt())));
    }
    return shape;
}

bool matchesReference(const QString &name, const QString &actual)
{
    return matchesReferenceFile(QStringLiteral(VEXA_TESTS_DIR "/controller/references/") + name,
        actual.toUtf8(), QStringLiteral("run tests/controller/update-references.sh to refresh it"));
}

} // namespace vexa
