#include "catalog/catalogsource.h"

#include "archive/printabletext.h"
#include "catalog/catalogjson.h"
#include "catalog/signeddocument.h"
#include "net/httpget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace vexa {

namespace {

const QString CatalogFileName = QStringLiteral("catalog.json");
const QString CatalogDirectoryName = QStringLiteral("catalog");
const QString NestedCatalogFileName = QStringLiteral("packages.json");
const QString JsonSuffix = QStringLiteral(".json");

// Everything a resolution collects on its way, for the payload or the failure message.
struct Resolution
{
    QStringList tried;
    QString lastError;
    const ProgressCallback &progress;
    int timeoutMs;
    const ReleaseKeys &trustedKeys;
    // Why a document that was found may not be used. It ends the resolution at once: falling back to
    // another candidate would let an unsigned document stand in for a signed one.
    QString untrusted;

    void report(const QString &message) const
    {
        if (progress)
            progress(message);
    }

    bool trusts(const QString &path, const QByteArray &document)
    {
        QString reason;
        if (hasTrustedSignature(path, document, trustedKeys, reason))
            return true;
        untrusted = untrustedCatalogMessage(path, reason);
        return false;
    }
    bool trusts(const QUrl &url, const QByteArray &document)
    {
        QString reason;
        if (hasTrustedSignature(url, document, trustedKeys, timeoutMs, reason))
            return true;
        untrusted = untrustedCatalogMessage(url.toString(QUrl::FullyEncoded), reason);
        return false;
    }
};

QString locateMessage(const QString &location, const QStringList &tried)
{
    return QStringLiteral("Failed to locate a catalog from %1.\n\nTried:\n%2")
        .arg(location, tried.join(QLatin1Char('\n')));
}

QString cleanAbsolutePath(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

QString joinPath(const QString &directory, const QString &name)
{
    if (directory.endsWith(QLatin1Char('/')))
        return directory + name;
    return directory + QLatin1Char('/') + name;
}

bool readWholeFile(const QString &path, QByteArray &data)
{
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// How the text of a source reads as a URL. An existing relative path is a local file even when it
// could pass for a host name, so "examples/repository" never goes to the network.
QUrl sourceUrl(const QString &location)
{
    return QUrl::fromUserInput(location, QDir::currentPath());
}

QString encoded(const QUrl &url)
{
    return url.toString(QUrl::FullyEncoded);
}

QUrl relativeUrl(const QString &name)
{
    // Built as a path so that a name such as "file:x.json" can never turn into a URL of its own.
    QUrl relative;
    relative.setPath(name);
    return relative;
}

QUrl resolvedAgainst(const QUrl &base, const QString &name)
{
    return base.resolved(relativeUrl(name));
}

QUrl directoryOf(const QUrl &url)
{
    return url.resolved(QUrl(QStringLiteral(".")));
}

bool isPackageIndexUrl(const QUrl &url)
{
    return url.fileName(QUrl::FullyDecoded).compare(PackageIndexFileName, Qt::CaseInsensitive) == 0;
}

// --- local sources ---

bool resolveSidecarDirectory(const QString &directory, CatalogPayload &payload, Resolution &resolution)
{
    resolution.tried.append(
        QStringLiteral("%1 (sidecars)").arg(joinPath(directory, QStringLiteral("*.json"))));
    resolution.report(QStringLiteral("Scanning %1 for package sidecar manifests...").arg(directory));

    const QStringList entries
        = QDir(directory).entryList({ QStringLiteral("*.json") }, QDir::Files | QDir::Hidden, QDir::NoSort);
    QStringList names;
    QSet<QString> seen;
    for (const QString &entry : entries) {
        const QString name = entry.trimmed();
        if (!name.endsWith(JsonSuffix, Qt::CaseInsensitive)
            || name.compare(CatalogFileName, Qt::CaseInsensitive) == 0 || seen.contains(name))
            continue;
        seen.insert(name);
        names.append(name);
    }
    if (names.isEmpty())
        return false;
    // Case-insensitive order, with the exact spelling breaking ties so the result never depends on
    // the order the file system lists its entries.
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        const int order = a.compare(b, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a < b;
    });

    QList<QByteArray> documents;
    documents.reserve(names.size());
    for (const QString &name : std::as_const(names)) {
        const QString path = joinPath(directory, name);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            resolution.lastError
                = QStringLiteral("Failed to open sidecar manifest %1").arg(printableName(path));
            return false;
        }
        documents.append(file.readAll());
        if (!resolution.trusts(path, documents.last()))
            return false;
    }
    QByteArray merged;
    if (!mergeSidecars(documents, merged, resolution.lastError))
        return false;

    payload.data = merged;
    payload.repositoryBase = directory;
    payload.sourceLabel = QStringLiteral("%1 (package sidecars)").arg(directory);
    payload.resolvedSource = directory;
    return true;
}

bool resolveLocal(
    const QString &location, CatalogPayload &payload, QString &errorText, Resolution &resolution)
{
    QString path = location;
    const QUrl url(location);
    if (url.isLocalFile())
        path = url.toLocalFile();
    path = cleanAbsolutePath(path);
    const bool isDirectory = QFileInfo(path).isDir();

    QStringList candidates;
    if (isDirectory) {
        candidates.append(joinPath(path, CatalogFileName));
        candidates.append(joinPath(path, CatalogDirectoryName + QLatin1Char('/') + NestedCatalogFileName));
    } else {
        candidates.append(path);
    }

    for (const QString &candidate : std::as_const(candidates)) {
        resolution.report(QStringLiteral("Loading package catalog from %1...").arg(candidate));
        resolution.tried.append(candidate);
        QByteArray data;
        if (!readWholeFile(candidate, data))
            continue;
        if (!resolution.trusts(candidate, data))
            return false;
        QString base = QFileInfo(candidate).absolutePath();
        if (QFileInfo(base).fileName().compare(CatalogDirectoryName, Qt::CaseInsensitive) == 0)
            base = QFileInfo(base).absolutePath();
        payload.data = data;
        payload.repositoryBase = QDir::cleanPath(base);
        payload.sourceLabel = candidate;
        payload.resolvedSource = candidate;
        return true;
    }

    // What went wrong among the sidecars is not shown: a local source reports the tried list alone.
    if (isDirectory && resolveSidecarDirectory(path, payload, resolution))
        return true;
    if (resolution.untrusted.isEmpty())
        errorText = locateMessage(path, resolution.tried);
    return false;
}

// --- remote sources ---

bool resolvePackageIndex(const QUrl &indexUrl, CatalogPayload &payload, Resolution &resolution)
{
    resolution.tried.append(encoded(indexUrl));
    resolution.report(QStringLiteral("Downloading package index from %1...").arg(encoded(indexUrl)));

    QByteArray indexData;
    QUrl finalIndexUrl;
    QString downloadError;
    if (!httpGet(indexUrl, indexData, finalIndexUrl, downloadError, resolution.timeoutMs)) {
        resolution.lastError = downloadError;
        return false;
    }
    if (!resolution.trusts(indexUrl, indexData))
        return false;
    QString indexError;
    const QStringList names = parsePackageIndex(indexData, indexError);
    if (names.isEmpty()) {
        resolution.lastError = indexError;
        return false;
    }

    // Sidecars live beside the index as finally reached, so a redirected index keeps working.
    const QUrl base = directoryOf(finalIndexUrl);
    QList<QByteArray> documents;
    documents.reserve(names.size());
    for (const QString &name : names) {
        const QUrl sidecarUrl = resolvedAgainst(base, name);
        resolution.report(QStringLiteral("Downloading package sidecar %1...").arg(encoded(sidecarUrl)));
        QByteArray document;
        QUrl finalSidecarUrl;
        QString sidecarError;
        if (!httpGet(sidecarUrl, document, finalSidecarUrl, sidecarError, resolution.timeoutMs)) {
            resolution.lastError = QStringLiteral("Failed to download package sidecar %1: %2")
                                       .arg(printableName(name), sidecarError);
            return false;
        }
        if (!resolution.trusts(sidecarUrl, document))
            return false;
        documents.append(document);
    }
    QByteArray merged;
    QString mergeError;
    if (!mergeSidecars(documents, merged, mergeError)) {
        resolution.lastError = mergeError;
        return false;
    }

    payload.data = merged;
    payload.repositoryBase = encoded(base);
    payload.sourceLabel = QStringLiteral("%1 (package sidecars via index)").arg(encoded(indexUrl));
    payload.resolvedSource = encoded(finalIndexUrl);
    return true;
}

bool resolveRemote(
    const QString &location, CatalogPayload &payload, QString &errorText, Resolution &resolution)
{
    const QUrl url = sourceUrl(location);
    const QString path = url.path(QUrl::FullyDecoded);

    QList<QUrl> catalogCandidates;
    if (path.endsWith(CatalogFileName, Qt::CaseInsensitive))
        catalogCandidates.append(url);
    else if (!isPackageIndexUrl(url))
        catalogCandidates.append(resolvedAgainst(catalogBaseUrl(url), CatalogFileName));

    for (const QUrl &candidate : std::as_const(catalogCandidates)) {
        resolution.report(QStringLiteral("Downloading package catalog from %1...").arg(encoded(candidate)));
        resolution.tried.append(encoded(candidate));
        QByteArray data;
        QUrl finalUrl;
        QString downloadError;
        if (httpGet(candidate, data, finalUrl, downloadError, resolution.timeoutMs)) {
            if (!resolution.trusts(candidate, data))
                return false;
            payload.data = data;
            payload.repositoryBase = encoded(directoryOf(finalUrl));
            payload.sourceLabel = encoded(candidate);
            payload.resolvedSource = encoded(finalUrl);
            return true;
        }
        resolution.lastError = downloadError;
    }

    const QUrl indexUrl
        = isPackageIndexUrl(url) ? url : resolvedAgainst(catalogBaseUrl(url), PackageIndexFileName);
    if (resolvePackageIndex(indexUrl, payload, resolution))
        return true;
    if (!resolution.untrusted.isEmpty())
        return false;

    errorText = locateMessage(encoded(url), resolution.tried);
    if (!resolution.lastError.isEmpty())
        errorText += QStringLiteral("\n\nLast error:\n%1").arg(resolution.lastError);
    return false;
}

} // namespace

QString DefaultPackageIndexUrl()
{
    return QStringLiteral(VEXA_DEFAULT_PACKAGE_INDEX_URL);
}

bool resolveCatalog(const QString &source, CatalogPayload &payload, QString &errorText,
    const ProgressCallback &progress, int downloadTimeoutMs, const ReleaseKeys &trustedKeys)
{
    QString location = source.trimmed();
    if (location.isEmpty())
        location = qEnvironmentVariable("VEXA_CATALOG_URL").trimmed();
    if (location.isEmpty())
        location = qEnvironmentVariable("VEXA_REPOSITORY_DIR").trimmed();
    if (location.isEmpty())
        location = DefaultPackageIndexUrl();

    // Filled only on success, so a failed resolution never leaves a half-written payload behind.
    CatalogPayload resolved;
    Resolution resolution { {}, {}, progress, downloadTimeoutMs, trustedKeys, {} };
    const bool ok = isRemoteSource(location) ? resolveRemote(location, resolved, errorText, resolution)
                                             : resolveLocal(location, resolved, errorText, resolution);
    if (ok)
        payload = resolved;
    else if (!resolution.untrusted.isEmpty())
        errorText = resolution.untrusted;
    return ok;
}

QString untrustedCatalogMessage(const QString &document, const QString &reason)
{
    return QStringLiteral("Catalog document %1 is not trusted: %2").arg(document, reason);
}

QUrl catalogBaseUrl(const QUrl &url)
{
    const QString path = url.path(QUrl::FullyDecoded);
    if (path.endsWith(CatalogFileName, Qt::CaseInsensitive)
        || path.endsWith(PackageIndexFileName, Qt::CaseInsensitive))
        return directoryOf(url);
    return url;
}

QStringList parsePackageIndex(const QByteArray &indexData, QString &errorText)
{
    QString text = QString::fromUtf8(indexData);
    // Editors on Windows like to start UTF-8 files with a byte-order mark; it is not part of a name.
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);

    static const QRegularExpression lineBreak(QStringLiteral("\r?\n"));
    QStringList names;
    QSet<QString> seen;
    const QStringList lines = text.split(lineBreak);
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.contains(QLatin1Char('/')) || line.contains(QLatin1Char('\\'))) {
            errorText = QStringLiteral("Package index entry '%1' must not contain path separators.")
                            .arg(printableName(line));
            return {};
        }
        const QString name
            = line.endsWith(JsonSuffix, Qt::CaseInsensitive) ? line : QString(line + JsonSuffix);
        if (seen.contains(name))
            continue;
        seen.insert(name);
        names.append(name);
    }
    if (names.isEmpty())
        errorText = QStringLiteral("The remote package index did not contain any package names.");
    return names;
}

bool mergeSidecars(const QList<QByteArray> &documents, QByteArray &merged, QString &errorText)
{
    QJsonArray packages;
    for (const QByteArray &document : documents) {
        QJsonObject sidecar;
        if (!readJsonObject(document, sidecar, QStringLiteral("Sidecar JSON is not an object."), errorText))
            return false;
        packages.append(sidecar);
    }
    QJsonObject root;
    root.insert(QStringLiteral("schema_version"), 1);
    root.insert(QStringLiteral("packages"), packages);
    merged = QJsonDocument(root).toJson(QJsonDocument::Compact);
    return true;
}

} // namespace vexa
