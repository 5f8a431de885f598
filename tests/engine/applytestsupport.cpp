#include "applytestsupport.h"

#include "support/testcatalog.h"
#include "support/testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QtDebug>

namespace vexa {

namespace {

// Entries arrive on standard input as a JSON object of name to base64 content.
const char PackScript[] = R"(
import base64, json, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as archive:
    for name, data in json.load(sys.stdin).items():
        info = zipfile.ZipInfo(name, (2024, 1, 1, 12, 0, 0))
        info.external_attr = 0o100644 << 16
        info.compress_type = zipfile.ZIP_DEFLATED
        archive.writestr(info, base64.b64decode(data))
)";

} // namespace

QJsonObject packageEntry(const QString &id, const QString &name, int code, const QString &marker,
    const QStringList &ownedPaths, const QStringList &dependencies)
{
    return testPackageEntry(id, name,
        QJsonObject {
            { QStringLiteral("product"), name },
            { QStringLiteral("version"), QStringLiteral("1.%1").arg(code) },
            { QStringLiteral("toolchain"), QStringLiteral("msvc2022_64") },
            { QStringLiteral("internal_version_code"), code },
            { QStringLiteral("install_subdir"), marker.section(QLatin1Char('/'), 0, 0) },
            { QStringLiteral("marker_relative_path"), marker },
            { QStringLiteral("owned_paths"), QJsonArray::fromStringList(ownedPaths) },
            { QStringLiteral("dependencies"), QJsonArray::fromStringList(dependencies) },
        });
}

bool makeZip(const FileMap &files, const QString &zipPath, QString &errorText)
{
    QJsonObject entries;
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        entries.insert(it.key(), QString::fromLatin1(it.value().toBase64()));
    QDir().mkpath(QFileInfo(zipPath).absolutePath());
    QProcess python;
    python.start(
        QStringLiteral("python3"), { QStringLiteral("-c"), QString::fromLatin1(PackScript), zipPath });
    python.write(QJsonDocument(entries).toJson(QJsonDocument::Compact));
    python.closeWriteChannel();
    if (!python.waitForFinished(60000) || python.exitStatus() != QProcess::NormalExit
        || python.exitCode() != 0) {
        errorText = QStringLiteral("python3 could not pack %1: %2")
                        .arg(zipPath, QString::fromLocal8Bit(python.readAllStandardError()));
        return false;
    }
    return true;
}

bool TestRepository::addArchivePackage(QJsonObject entry, const FileMap &files)
{
    const QString relative
        = QStringLiteral("packages/%1.zip").arg(entry.value(QStringLiteral("package_id")).toString());
    const QString archive = m_directory + QLatin1Char('/') + relative;
    QString error;
    if (!makeZip(files, archive, error)) {
        qWarning().noquote() << error;
        return false;
    }
    entry.insert(QStringLiteral("payload_archive"), relative);
    if (!entry.contains(QStringLiteral("sha256")))
        entry.insert(QStringLiteral("sha256"), sha256Hex(archive));
    entry.insert(QStringLiteral("size_bytes"), QFileInfo(archive).size());
    m_packages.append(entry);
    return true;
}

bool TestRepository::addDirectoryPackage(QJsonObject entry, const FileMap &files)
{
    const QString relative
        = QStringLiteral("payloads/") + entry.value(QStringLiteral("package_id")).toString();
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        if (!writeTestFile(
                m_directory + QLatin1Char('/') + relative + QLatin1Char('/') + it.key(), it.value()))
            return false;
    }
    entry.insert(QStringLiteral("payload_source_dir"), relative);
    m_packages.append(entry);
    return true;
}

QByteArray TestRepository::catalogDocument() const
{
    QList<QJsonObject> packages;
    for (const QJsonValue &package : m_packages)
        packages.append(package.toObject());
    return testCatalogDocument(packages);
}

bool TestRepository::load(PackageCatalog &catalog) const
{
    return loadTestCatalog(catalogDocument(), catalog);
}

QString sha256Hex(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&file);
    return QString::fromLatin1(hash.result().toHex());
}

} // namespace vexa
