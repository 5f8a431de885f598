#include "update/clientmanifest.h"

#include "archive/printabletext.h"
#include "catalog/catalogjson.h"
#include "catalog/catalogsource.h"
#include "catalog/signeddocument.h"
#include "net/httpget.h"
#include "net/remotesource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QUrl>
#include <QVariant>

#include <cmath>
#include <limits>

namespace vexa {

namespace {

const QString ManifestInRepository = QStringLiteral("client/client-manifest.json");

QString cleanPath(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(path));
}

QString encoded(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

// The repository directory a local source stands for: a missing path gives its parent, a directory
// itself, a file the directory holding it, or that directory's parent when it is named "catalog".
QString clientRepositoryDirectory(const QString &localSource)
{
    const QFileInfo info(localSource);
    QString directory;
    if (!info.exists())
        directory = info.absolutePath();
    else if (info.isDir())
        directory = info.absoluteFilePath();
    else if (info.absoluteDir().dirName().compare(QLatin1String("catalog"), Qt::CaseInsensitive) == 0)
        directory = QFileInfo(info.absolutePath()).absolutePath();
    else
        directory = info.absolutePath();
    return cleanPath(directory);
}

// "client-manifest.json" in the program directory or in its parent, whichever exists first; empty when
// neither does.
QString findClientManifestBesideProgram(const QString &programDirectory)
{
    const QDir program(cleanPath(programDirectory));
    for (const QString &candidate :
        { ClientManifestFileName, QString(QStringLiteral("../") + ClientManifestFileName) }) {
        const QString path = cleanPath(program.absoluteFilePath(candidate));
        if (QFileInfo::exists(path))
            return path;
    }
    return {};
}

QString localRepositoryCandidate(const QString &repositorySource)
{
    return cleanPath(clientRepositoryDirectory(repositorySource) + QLatin1Char('/') + ManifestInRepository);
}

// A number is cut toward zero; anything else converts as Qt's variants do ("42" is 42, text is 0).
qint64 readSizeBytes(const QJsonValue &value)
{
    if (!value.isDouble())
        return value.toVariant().toLongLong();
    const double number = std::trunc(value.toDouble());
    // A value beyond the 64-bit range would be undefined to convert; no real archive is that large.
    if (!(std::abs(number) < 9.2e18))
        return number > 0 ? std::numeric_limits<qint64>::max() : 0;
    return qint64(number);
}

// Reads the manifest and, for a build with keys, checks its signature before a byte of it is parsed.
bool readManifestBytes(const QString &location, const ReleaseKeys &trustedKeys, QByteArray &data,
    QUrl &remoteBase, QString &localBase, QString &errorText, int timeoutMs)
{
    QString reason;
    if (isRemoteSource(location)) {
        const QUrl url = QUrl::fromUserInput(location);
        QUrl finalUrl;
        if (!httpGet(url, data, finalUrl, errorText, timeoutMs))
            return false;
        remoteBase = finalUrl.resolved(QUrl(QStringLiteral(".")));
        if (hasTrustedSignature(url, data, trustedKeys, timeoutMs, reason))
            return true;
    } else {
        const QString path = cleanPath(location);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            errorText
                = QStringLiteral("Failed to open client update manifest at %1").arg(printableName(path));
            return false;
        }
        data = file.readAll();
        localBase = QFileInfo(path).absolutePath();
        if (hasTrustedSignature(path, data, trustedKeys, reason))
            return true;
    }
    errorText = QStringLiteral("Client update manifest %1").arg(reason);
    return false;
}

} // namespace

bool ClientUpdateManifest::isComplete() const
{
    return !version.trimmed().isEmpty() && !archiveUrl.trimmed().isEmpty();
}

QString defaultClientManifestUrl()
{
    return QStringLiteral(VEXA_DEFAULT_CLIENT_MANIFEST_URL);
}

QString resolveClientManifestLocation(const QString &repositorySource, const QString &programDirectory)
{
    const QString configured = qEnvironmentVariable("VEXA_CLIENT_UPDATE_URL").trimmed();
    if (!configured.isEmpty())
        return configured;
    const QString source = repositorySource.trimmed();
    if (source.isEmpty())
        return defaultClientManifestUrl();
    if (isRemoteSource(source)) {
        const QUrl base = catalogBaseUrl(QUrl::fromUserInput(source));
        return encoded(base.resolved(QUrl(ManifestInRepository)));
    }
    const QString candidate = localRepositoryCandidate(source);
    if (QFileInfo::exists(candidate))
        return candidate;
    const QString besideProgram = findClientManifestBesideProgram(programDirectory);
    return besideProgram.isEmpty() ? candidate : besideProgram;
}

bool loadClientManifest(const QString &location, ClientUpdateManifest &manifest, QString &errorText,
    int timeoutMs, const ReleaseKeys &trustedKeys)
{
    manifest = ClientUpdateManifest();
    const QString trimmed = location.trimmed();
    if (trimmed.isEmpty()) {
        errorText = QStringLiteral("Client update manifest location is empty.");
        return false;
    }

    QByteArray data;
    QUrl remoteBase;
    QString localBase;
    if (!readManifestBytes(trimmed, trustedKeys, data, remoteBase, localBase, errorText, timeoutMs))
        return false;

    QJsonObject object;
    if (!readJsonObject(
            data, object, QStringLiteral("Client update manifest is not a JSON object."), errorText))
        return false;
    // Only a whole number counts; a string, a fraction or null reads as the first schema.
    const int schemaVersion = object.value(QLatin1String("schema_version")).toInt(1);
    if (schemaVersion != 1) {
        errorText = QStringLiteral("Unsupported client update manifest schema_version '%1'.")
                        .arg(QString::number(schemaVersion));
        return false;
    }

    manifest.version = object.value(QLatin1String("version")).toString().trimmed();
    manifest.archiveSha256 = object.value(QLatin1String("archive_sha256")).toString().trimmed().toLower();
    manifest.archiveSizeBytes = readSizeBytes(object.value(QLatin1String("archive_size_bytes")));
    const QString archiveUrl = object.value(QLatin1String("archive_url")).toString().trimmed();
    if (archiveUrl.isEmpty()) {
        errorText = QStringLiteral("Client update manifest is missing archive_url.");
        return false;
    }
    // A signature over a manifest that leaves the archive unchecked would vouch for nothing.
    if (!trustedKeys.isEmpty() && manifest.archiveSha256.isEmpty()) {
        errorText = QStringLiteral("Client update manifest is missing archive_sha256");
        return false;
    }
    if (!trustedKeys.isEmpty() && manifest.archiveSizeBytes <= 0) {
        errorText = QStringLiteral("Client update manifest is missing archive_size_bytes");
        return false;
    }

    if (remoteBase.isValid())
        manifest.archiveUrl = encoded(remoteBase.resolved(QUrl(archiveUrl)));
    // Read as written, not by the user-input rules, which would take a bare "client.zip" for a host name
    // and fetch the archive from there instead of from beside the manifest.
    else if (isHttpUrl(QUrl(archiveUrl)))
        manifest.archiveUrl = encoded(QUrl::fromUserInput(archiveUrl));
    else
        manifest.archiveUrl = cleanPath(QDir(localBase).filePath(QDir::fromNativeSeparators(archiveUrl)));

    if (!manifest.isComplete()) {
        errorText = QStringLiteral("Client update manifest is missing a version or archive URL.");
        return false;
    }
    return true;
}

} // namespace vexa
