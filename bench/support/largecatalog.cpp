#include "support/largecatalog.h"

#include "engine/manifestfiles.h"
#include "engine/rootinspection.h"
#include "engine/rootpaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace vexa {

QString largeCatalogPackageId(int index)
{
    return QStringLiteral("com.example.pkg%1").arg(index);
}

QByteArray largeCatalog(int count)
{
    QJsonArray packages;
    for (int i = 0; i < count; ++i) {
        QJsonObject package {
            { QStringLiteral("package_id"), largeCatalogPackageId(i) },
            { QStringLiteral("display_name"), QStringLiteral("Package %1").arg(i) },
            { QStringLiteral("product"), QStringLiteral("Product%1").arg(i % 97) },
            { QStringLiteral("version"), QStringLiteral("%1.%2.0").arg(i % 7).arg(i % 13) },
            { QStringLiteral("internal_version_code"), 1 + i % 9 },
            { QStringLiteral("toolchain"), i % 11 == 0 ? QString() : QStringLiteral("msvc2022_64") },
            { QStringLiteral("platform"), QStringLiteral("windows-x64") },
            { QStringLiteral("description"),
                QStringLiteral("Synthetic package number %1 for timing").arg(i) },
            { QStringLiteral("group"), QStringLiteral("Group %1").arg(i % 40) },
            { QStringLiteral("marker_relative_path"), QStringLiteral("pkg%1/marker.txt").arg(i) },
            { QStringLiteral("payload_archive"), QStringLiteral("packages/pkg%1.zip").arg(i) },
            { QStringLiteral("size_bytes"), 1048576 + i },
            { QStringLiteral("default_selected"), i % 50 == 0 },
        };
        // Every fourth package is a child of the one before it (trees up to three levels).
        if (i % 4 != 0)
            package.insert(QStringLiteral("parent_package_id"), largeCatalogPackageId(i - 1));
        QJsonArray dependencies;
        for (int step : { 3, 17, 101 }) {
            if (i >= step && (i + step) % 3 == 0)
                dependencies.append(largeCatalogPackageId(i - step));
        }
        package.insert(QStringLiteral("dependencies"), dependencies);
        packages.append(package);
    }
    return QJsonDocument(QJsonObject { { QStringLiteral("packages"), packages } })
        .toJson(QJsonDocument::Compact);
}

QSet<QString> writeLargeRoot(
    const PackageCatalog &catalog, const QString &root, int installed, QString &errorText)
{
    QSet<QString> ids;
    const QList<PackageDefinition> &packages = catalog.packages();
    for (qsizetype i = 0; i < packages.size() && ids.size() < installed; i += 5) {
        const PackageDefinition &package = packages.at(i);
        for (const QString &relative : requiredFiles(package, QString())) {
            const QString path = resolveRootPath(root, relative);
            QFile file(path);
            if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !file.open(QIODevice::WriteOnly)
                || file.write("payload\n") != 8) {
                errorText = QStringLiteral("cannot write %1").arg(path);
                return {};
            }
        }
        ids.insert(package.package_id);
    }
    if (!writeStateFile(catalog, root, ids, errorText)
        || !writeInstalledPackagesFile(catalog, root, ids, errorText))
        return {};
    return ids;
}

} // namespace vexa
