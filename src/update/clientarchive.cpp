#include "update/clientarchive.h"

#include "archive/sha256hasher.h"
#include "net/httpget.h"
#include "net/remotesource.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUrl>

namespace vexa {

namespace {

// The archive's own name, reduced to a plain file name: a decoded URL segment may hold "\" (a
// separator on Windows) or be "..", and neither may steer the file out of the workspace.
QString archiveFileName(const ClientUpdateManifest &manifest)
{
    QString name = isRemoteSource(manifest.archiveUrl)
        ? QUrl::fromUserInput(manifest.archiveUrl).path(QUrl::FullyDecoded)
        : QDir::fromNativeSeparators(manifest.archiveUrl);
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("CompanyVexaInstallerClient-%1.zip").arg(manifest.version);
    return name;
}

bool fetchRemoteArchive(const QString &url, const QString &destination, QString &errorText, int timeoutMs)
{
    QByteArray body;
    QUrl finalUrl;
    if (!httpGet(QUrl::fromUserInput(url), body, finalUrl, errorText, timeoutMs))
        return false;
    // Written beside the destination and renamed on commit, so the name only ever holds a whole file.
    QSaveFile file(destination);
    if (!file.open(QIODevice::WriteOnly)) {
        errorText = QStringLiteral("Failed to open %1 for writing").arg(destination);
        return false;
    }
    if (file.write(body) != body.size()) {
        errorText = QStringLiteral("Failed to write complete client update archive %1").arg(destination);
        return false;
    }
    if (!file.commit()) {
        errorText = QStringLiteral("Failed to commit client update archive %1").arg(destination);
        return false;
    }
    return true;
}

bool copyLocalArchive(const QString &source, const QString &destination, QString &errorText)
{
    const QString path = QDir::cleanPath(QDir::fromNativeSeparators(source));
    if (!QFileInfo(path).isFile()) {
        errorText = QStringLiteral("Client update archive was not found at %1").arg(path);
        return false;
    }
    if (!QFile::copy(path, destination)) {
        errorText
            = QStringLiteral("Failed to copy client update archive from %1 to %2").arg(path, destination);
        return false;
    }
    return true;
}

bool verifyClientArchive(const ClientUpdateManifest &manifest, const QString &archivePath, QString &errorText)
{
    const qint64 size = QFileInfo(archivePath).size();
    if (manifest.archiveSizeBytes > 0 && size != manifest.archiveSizeBytes) {
        errorText
            = QStringLiteral("Client update archive size mismatch for %1: expected %2 bytes, got %3 bytes.")
                  .arg(archivePath, QString::number(manifest.archiveSizeBytes), QString::number(size));
        return false;
    }
    if (manifest.archiveSha256.isEmpty())
        return true;
    const QString digest = sha256OfFile(archivePath, errorText);
    if (digest.isEmpty())
        return false;
    if (digest.compare(manifest.archiveSha256, Qt::CaseInsensitive) != 0) {
        errorText = QStringLiteral("Client update archive SHA-256 mismatch for %1.").arg(archivePath);
        return false;
    }
    return true;
}

} // namespace

bool downloadClientArchive(const ClientUpdateManifest &manifest, const QString &workspaceDirectory,
    QString &archivePath, QString &errorText, const ProgressCallback &progress, int timeoutMs)
{
    if (!manifest.isComplete()) {
        errorText = QStringLiteral("Client update manifest is incomplete.");
        return false;
    }
    if (progress)
        progress(QStringLiteral("Downloading client update %1...").arg(manifest.version));
    if (!QDir().mkpath(workspaceDirectory)) {
        errorText
            = QStringLiteral("Failed to create client update download directory %1").arg(workspaceDirectory);
        return false;
    }

    const QString destination = QDir(workspaceDirectory).filePath(archiveFileName(manifest));
    QFile::remove(destination);
    const bool fetched = isRemoteSource(manifest.archiveUrl)
        ? fetchRemoteArchive(manifest.archiveUrl, destination, errorText, timeoutMs)
        : copyLocalArchive(manifest.archiveUrl, destination, errorText);
    if (!fetched || !verifyClientArchive(manifest, destination, errorText))
        return false;
    archivePath = destination;
    return true;
}

} // namespace vexa
