#include "catalog/catalogjson.h"

#include <QJsonArray>
#include <QVariant>

namespace vexa {

QStringList stringList(const QJsonValue &value)
{
    QStringList result;
    if (value.isString()) {
        const QString text = value.toString().trimmed();
        if (!text.isEmpty())
            result.append(text);
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (const QJsonValue &element : array) {
            const QString text = element.toString().trimmed();
            if (!text.isEmpty())
                result.append(text);
        }
    }
    return result;
}

QJsonObject normalizedCmake(const QJsonObject &cmake)
{
    QJsonObject result = cmake;
    result.insert(QStringLiteral("prefix_paths"),
        QJsonArray::fromStringList(stringList(cmake.value(QStringLiteral("prefix_paths")))));
    result.insert(QStringLiteral("module_paths"),
        QJsonArray::fromStringList(stringList(cmake.value(QStringLiteral("module_paths")))));
    for (const QString &key : { QStringLiteral("config_packages"), QStringLiteral("targets") }) {
        if (cmake.contains(key))
            result.insert(key, QJsonArray::fromStringList(stringList(cmake.value(key))));
    }
    const QJsonValue variables = cmake.value(QStringLiteral("variables"));
    result.insert(QStringLiteral("variables"), variables.isObject() ? variables.toObject() : QJsonObject());
    return result;
}

PackageDefinition readPackageDefinition(const QJsonObject &entry)
{
    const auto text = [&entry](const char *key) { return entry.value(QLatin1String(key)).toString(); };

    PackageDefinition package;
    package.package_id = text("package_id");
    package.product = text("product");
    package.version = text("version");
    package.internal_version_code = entry.value(QLatin1String("internal_version_code")).toInt(1);
    package.toolchain = text("toolchain");
    package.platform = text("platform");
    package.display_name = text("display_name");
    package.description = text("description");
    package.install_subdir = text("install_subdir");
    package.marker_relative_path = text("marker_relative_path");
    package.group = text("group");
    package.parent_package_id = text("parent_package_id");
    package.payload_archive = text("payload_archive");
    package.payload_url = text("payload_url").trimmed();
    package.payload_source_dir = text("payload_source_dir");
    package.sha256 = text("sha256").trimmed().toLower();
    package.dependencies = stringList(entry.value(QLatin1String("dependencies")));
    package.owned_paths = stringList(entry.value(QLatin1String("owned_paths")));
    package.cmake = normalizedCmake(entry.value(QLatin1String("cmake")).toObject());
    package.usage = entry.value(QLatin1String("usage")).toObject();
    package.default_selected = entry.value(QLatin1String("default_selected")).toBool(false);
    // Only numbers and numeric strings carry a size; a boolean must not read as one byte.
    const QJsonValue size = entry.value(QLatin1String("size_bytes"));
    package.size_bytes = size.isBool() ? 0 : size.toVariant().toLongLong();
    return package;
}

} // namespace vexa
