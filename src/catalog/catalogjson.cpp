#include "catalog/catalogjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariant>

namespace vexa {

namespace {

// A string gives a one-element list of the trimmed text (none when blank); an array gives the trimmed
// texts of its string elements, blanks dropped; anything else gives an empty list. Duplicates stay.
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

// True when the string-list rule would give back exactly this array, so it can stay as it is; most
// catalogs are written that way, and rebuilding every list dominated loading time.
bool isNormalStringArray(const QJsonValue &value)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    for (const QJsonValue &element : array) {
        if (!element.isString())
            return false;
        const QString text = element.toString();
        if (text.isEmpty() || text.front().isSpace() || text.back().isSpace())
            return false;
    }
    return true;
}

// The cmake object with its list keys normalised; unknown keys are kept.
QJsonObject normalizedCmake(const QJsonObject &cmake)
{
    QJsonObject result = cmake;
    const auto normalizeList = [&cmake, &result](const QString &key, bool always) {
        const auto it = cmake.constFind(key);
        if (it == cmake.constEnd()) {
            if (always)
                result.insert(key, QJsonArray());
            return;
        }
        const QJsonValue value = it.value();
        if (!isNormalStringArray(value))
            result.insert(key, QJsonArray::fromStringList(stringList(value)));
    };
    normalizeList(QStringLiteral("prefix_paths"), true);
    normalizeList(QStringLiteral("module_paths"), true);
    normalizeList(QStringLiteral("config_packages"), false);
    normalizeList(QStringLiteral("targets"), false);
    if (!cmake.value(QLatin1String("variables")).isObject())
        result.insert(QStringLiteral("variables"), QJsonObject());
    return result;
}

} // namespace

bool readJsonObject(
    const QByteArray &data, QJsonObject &object, const QString &notAnObjectText, QString &errorText)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(data, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        errorText = parseError.errorString();
        return false;
    }
    if (!document.isObject()) {
        errorText = notAnObjectText;
        return false;
    }
    object = document.object();
    return true;
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
