#include "support/testcatalog.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtDebug>

namespace vexa {

QJsonObject testPackageEntry(const QString &id, const QString &displayName, const QJsonObject &extra)
{
    QJsonObject entry { { QStringLiteral("package_id"), id },
        { QStringLiteral("display_name"), displayName } };
    for (auto it = extra.begin(); it != extra.end(); ++it)
        entry.insert(it.key(), it.value());
    return entry;
}

QByteArray testCatalogDocument(const QList<QJsonObject> &packages, const QJsonObject &topLevel)
{
    QJsonArray array;
    for (const QJsonObject &package : packages)
        array.append(package);
    QJsonObject document = topLevel;
    document.insert(QStringLiteral("packages"), array);
    return QJsonDocument(document).toJson();
}

bool loadTestCatalog(const QByteArray &document, PackageCatalog &catalog)
{
    QString errorText;
    if (loadFromJson(document, catalog, errorText))
        return true;
    qWarning().noquote() << "test catalog does not load:" << errorText;
    return false;
}

PackageCatalog testCatalog(const QList<QJsonObject> &packages, const QJsonObject &topLevel)
{
    PackageCatalog catalog;
    if (!loadTestCatalog(testCatalogDocument(packages, topLevel), catalog))
        return PackageCatalog();
    return catalog;
}

} // namespace vexa
