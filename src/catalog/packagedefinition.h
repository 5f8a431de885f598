#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vexa {

// The Vexa CMake support package, which inspection, manifests and guidance treat specially.
inline const QString SupportPackageId = QStringLiteral("com.company.vexa.cmake_support");

// One package of the catalog; each field is named after its catalog key.
struct PackageDefinition
{
    QString package_id;
    QString product;
    QString version;
    int internal_version_code = 1;
    QString toolchain;
    QString platform;
    QString display_name;
    QString description;
    QString install_subdir;
    QString marker_relative_path;
    QString group;
    QString parent_package_id;
    QString payload_archive;
    QString payload_url;
    QString payload_source_dir;
    QString sha256;
    QStringList dependencies;
    QStringList owned_paths;
    QJsonObject cmake;
    QJsonObject usage;
    bool default_selected = false;
    qint64 size_bytes = 0;
};

// "OpenSSL [iv3]": every user message names a package this way, the catalog's name made printable
// (printabletext.h).
QString displayLabel(const PackageDefinition &package);
// "3.0.13 / iv3", the version made printable.
QString versionLabel(const PackageDefinition &package);
bool isSupportPackage(const QString &packageId);

} // namespace vexa
