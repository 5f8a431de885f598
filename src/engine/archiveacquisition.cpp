#include "engine/archiveacquisition.h"

#include "net/httpreply.h"
#include "net/remotesource.h"
#include "net/streamdownload.h"
#include "platform/savefile.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace vexa {

namespace {

// Catalogs are written on Windows, so "\" separates directories whatever system reads them.
QString withForwardSlashes(QString path)
{
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return path;
}

QString sizeMismatchMessage(const PackageDefinition &package, qint64 expected, qint64 actual)
{
    return QStringLiteral("Downloaded size mismatch for %1. Expected %2 bytes, got %3 bytes.")
        .arg(displayLabel(package), QString::number(expected), QString::number(actual));
}

QString digestMismatchMessage(const PackageDefinition &package, const QString &actual)
{
    return QStringLiteral("SHA-256 mismatch for %1. Expected %2, got %3.")
        .arg(displayLabel(package), package.sha256, actual);
}

QUrl downloadUrl(const PackageDefinition &package, const QString &repositoryBase)
{
    const QString payloadUrl = package.payload_url.trimmed();
    if (!payloadUrl.isEmpty())
        return QUrl::fromUserInput(payloadUrl);
    if (isRemoteSource(repositoryBase) && !package.payload_archive.isEmpty()) {
        const QUrl base = QUrl::fromUserInput(repositoryBase.trimmed());
        return base.resolved(QUrl(withForwardSlashes(package.payload_archive)));
    }
    return {};
}

bool isRemoteUrl(const QUrl &url)
{
    return url.isValid() && !url.isEmpty() && url.scheme().startsWith(QLatin1String("http"));
}

// Streams one download into the save file, hashing each block as it arrives so that an archive of
// any size needs neither memory nor a second pass.
bool downloadInto(UnsyncedSaveFile &file, const PackageDefinition &package, const QUrl &url,
    const ProgressCallback &progress, int inactivityTimeoutMs, QString &errorText)
{
    // Only a catalog digest needs one; without it hashing would be work nobody looks at.
    std::unique_ptr<Sha256Hasher> hasher
        = package.sha256.isEmpty() ? nullptr : std::make_unique<Sha256Hasher>();
    const BlockSink sink = [&](QByteArrayView block) {
        if (hasher)
            hasher->addData(block);
        return file.write(block) == block.size();
    };
    const QString label = displayLabel(package);
    PercentCallback percent;
    if (progress) {
        percent = [&](int percentage) {
            progress(QStringLiteral("Downloading %1 (%2%)").arg(label, QString::number(percentage)));
        };
    }
    StreamDownloadOptions options;
    options.maxBytes = package.size_bytes;
    options.inactivityTimeoutMs = inactivityTimeoutMs;
    const StreamDownloadResult result = streamDownload(url, sink, options, percent);

    switch (result.outcome) {
    case StreamDownloadResult::SinkFailed:
        errorText = QStringLiteral("Failed to write the downloaded archive for %1.").arg(label);
        return false;
    case StreamDownloadResult::TooLarge:
        errorText = sizeMismatchMessage(package, package.size_bytes, result.receivedBytes);
        return false;
    case StreamDownloadResult::TimedOut:
        errorText = downloadTimedOutText(url);
        return false;
    case StreamDownloadResult::Failed:
    case StreamDownloadResult::Refused:
        errorText = downloadFailureText(
            QStringLiteral("%1 from %2").arg(label, url.toString(QUrl::FullyEncoded)), result.reason);
        return false;
    case StreamDownloadResult::Completed:
        break;
    }
    if (hasher) {
        const QString digest = hasher->hexResult();
        if (digest.compare(package.sha256, Qt::CaseInsensitive) != 0) {
            errorText = digestMismatchMessage(package, digest);
            return false;
        }
    }
    if (package.size_bytes >= 1 && package.size_bytes != result.receivedBytes) {
        errorText = sizeMismatchMessage(package, package.size_bytes, result.receivedBytes);
        return false;
    }
    return true;
}

} // namespace

QString cacheFileName(const PackageDefinition &package)
{
    const QString archive = withForwardSlashes(package.payload_archive);
    const QString fileName = archive.mid(archive.lastIndexOf(QLatin1Char('/')) + 1);
    // "." and ".." would name the cache directory or its parent, not a file in it.
    if (!fileName.isEmpty() && fileName != QLatin1String(".") && fileName != QLatin1String(".."))
        return fileName;
    QString id = package.package_id;
    for (QChar &c : id) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    return QStringLiteral("%1.zip").arg(id);
}

bool prepareDownloadTarget(const QString &downloadCacheDirectory, const PackageDefinition &package,
    QString &archivePath, QString &errorText)
{
    if (downloadCacheDirectory.isEmpty()) {
        errorText = QStringLiteral("Download cache directory is not set for %1.").arg(displayLabel(package));
        return false;
    }
    if (!QDir().mkpath(downloadCacheDirectory)) {
        errorText
            = QStringLiteral("Failed to create download cache directory %1").arg(downloadCacheDirectory);
        return false;
    }
    archivePath = QDir(downloadCacheDirectory).filePath(cacheFileName(package));
    return true;
}

bool verifyArchive(const PackageDefinition &package, const QString &archivePath, QString &errorText)
{
    if (!package.sha256.isEmpty()) {
        QString hashError;
        const QString digest = sha256OfFile(archivePath, hashError);
        if (digest.isEmpty()) {
            errorText = hashError;
            return false;
        }
        if (digest.compare(package.sha256, Qt::CaseInsensitive) != 0) {
            errorText = digestMismatchMessage(package, digest);
            return false;
        }
    }
    if (package.size_bytes > 0) {
        const qint64 actual = QFileInfo(archivePath).size();
        if (actual != package.size_bytes) {
            errorText = sizeMismatchMessage(package, package.size_bytes, actual);
            return false;
        }
    }
    return true;
}

bool acquireArchive(const PackageCatalog &catalog, const QString &repositoryBase,
    const PackageDefinition &package, const QString &downloadCacheDirectory, QString &archivePath,
    QString &errorText, const ProgressCallback &progress, int inactivityTimeoutMs)
{
    // Every payload location comes from the package record and the repository base; the catalog is
    // part of the engine's common signature.
    Q_UNUSED(catalog);
    const QString label = displayLabel(package);
    const QUrl url = downloadUrl(package, repositoryBase);

    if (!isRemoteUrl(url)) {
        if (package.payload_archive.isEmpty()) {
            errorText = QStringLiteral("Package %1 does not provide a payload archive path.").arg(label);
            return false;
        }
        if (repositoryBase.isEmpty()) {
            errorText = QStringLiteral("Repository directory is not set for %1.").arg(label);
            return false;
        }
        const QString path
            = QDir::cleanPath(QDir(repositoryBase).filePath(withForwardSlashes(package.payload_archive)));
        const QFileInfo info(path);
        if (!info.exists()) {
            errorText = QStringLiteral("Archive not found for %1: %2").arg(label, path);
            return false;
        }
        archivePath = path;
        return verifyArchive(package, archivePath, errorText);
    }

    QString targetPath;
    if (!prepareDownloadTarget(downloadCacheDirectory, package, targetPath, errorText))
        return false;
    // The save file writes beside the target and renames on commit, so the archive path only ever
    // holds a complete, verified archive; an uncommitted save file removes its temporary file. It is
    // not synced: the cache lives for one apply and every archive in it is checked before use.
    UnsyncedSaveFile file(targetPath);
    if (!file.open()) {
        archivePath = targetPath;
        errorText = QStringLiteral("Failed to open %1 for writing").arg(targetPath);
        return false;
    }
    archivePath = targetPath;
    bool ok = downloadInto(file, package, url, progress, inactivityTimeoutMs, errorText);
    if (!ok) {
        file.cancelWriting();
    } else if (!file.commit()) {
        errorText = QStringLiteral("Failed to commit the downloaded archive for %1.").arg(label);
        ok = false;
    }
    if (!ok) {
        // Another package's archive of the same file name may sit there from earlier in this apply;
        // after a failure the path must not look like this package's archive.
        QFile::remove(targetPath);
        return false;
    }
    if (progress)
        progress(QStringLiteral("Downloaded %1.").arg(label));
    return true;
}

} // namespace vexa
