#include "statetestroot.h"

#include "engine/rootinspection.h"
#include "engine/rootpaths.h"
#include "support/testcatalog.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <algorithm>

namespace vexa {

namespace {

QString referencePath(const QString &name)
{
    return QStringLiteral(VEXA_TESTS_DIR "/engine/state-data/") + name;
}

} // namespace

bool loadStateTestCatalog(PackageCatalog &catalog)
{
    return loadTestCatalog(readTestFile(referencePath(QStringLiteral("catalog.json"))), catalog);
}

bool placePackageFiles(
    const PackageCatalog &catalog, const QString &root, const QString &packageId, int supportVersion)
{
    const PackageDefinition *package = catalog.findPackage(packageId);
    if (!package)
        return false;
    for (const QString &file : requiredFiles(*package, QString())) {
        const QByteArray content
            = file == SupportVersionMarkerPath ? QByteArray::number(supportVersion) + '\n' : QByteArray("x");
        if (!writeTestFile(resolveRootPath(root, file), content))
            return false;
    }
    return true;
}

QByteArray stateEntry(const PackageCatalog &catalog, const QString &packageId, int internalVersionCode)
{
    const PackageDefinition *package = catalog.findPackage(packageId);
    QJsonObject entry;
    entry.insert(QStringLiteral("package_id"), packageId);
    entry.insert(QStringLiteral("product"), package ? package->product : QStringLiteral("product"));
    entry.insert(QStringLiteral("version"), package ? package->version : QStringLiteral("1.0"));
    entry.insert(QStringLiteral("internal_version_code"), internalVersionCode);
    entry.insert(QStringLiteral("toolchain"), package ? package->toolchain : QStringLiteral("any"));
    entry.insert(QStringLiteral("marker_relative_path"), package ? package->marker_relative_path : QString());
    entry.insert(QStringLiteral("owned_paths"),
        QJsonArray::fromStringList(package ? package->owned_paths : QStringList()));
    return QJsonDocument(entry).toJson(QJsonDocument::Compact);
}

QByteArray stateFile(const QList<QByteArray> &entries)
{
    QByteArray text = "{\"schema_version\": 1, \"packages\": [";
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (i > 0)
            text += ",\n";
        text += entries.at(i);
    }
    return text + "]}";
}

QString joined(const QSet<QString> &ids)
{
    QStringList list(ids.cbegin(), ids.cend());
    std::sort(list.begin(), list.end());
    return list.join(QLatin1Char(','));
}

bool matchesReference(const QString &name, const QByteArray &actual)
{
    return matchesReferenceFile(referencePath(name), actual,
        QStringLiteral("run tests/engine/update-state-references.sh to refresh it"));
}

} // namespace vexa
