#include "engine/archiveacquisition.h"

#include "catalog/httpreply.h"
#include "platform/savefile.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

#include <memory>

namespace vexa {

namespace {

// Bounds what the network stack buffers ahead of us. Without it Qt reads as fast as the socket
// delivers, so a fast server and a slower disk let a multi-gigabyte download pile up in memory.
constexpr qint64 DownloadReadBufferSize = 1024 * 1024;

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

QString downloadFailedMessage(const QString &label, const QString &urlText, const QString &reason)
{
    return QStringLiteral("Failed to download %1 from %2: %3").arg(label, urlText, reason);
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

// Streams one download into the save file, hashing as it goes so that an archive of any size needs
// neither memory nor a second pass. Each block is hashed right after it is read, while it is still in
// the cache: a thread of its own for the hashing cost more in hand-overs than it saved, and on a
// machine with few cores it competed with the network stack for them.
class Download
{
public:
    Download(const PackageDefinition &package, const QUrl &url, UnsyncedSaveFile &file,
        const ProgressCallback &progress, int inactivityTimeoutMs)
        : m_package(package)
        , m_url(url)
        , m_file(file)
        , m_progress(progress)
        , m_inactivityTimeoutMs(inactivityTimeoutMs)
        , m_hasher(package.sha256.isEmpty() ? nullptr : std::make_unique<Sha256Hasher>())
    {
        m_block.resize(DownloadReadBufferSize);
    }

    bool run(QString &errorText);

private:
    void drain();
    void reportProgress(qint64 received, qint64 total);

    const PackageDefinition &m_package;
    const QUrl m_url;
    UnsyncedSaveFile &m_file;
    const ProgressCallback &m_progress;
    const int m_inactivityTimeoutMs;
    QNetworkReply *m_reply = nullptr;
    QTimer m_inactivity;
    // Only a catalog digest needs one; without it hashing would be work nobody looks at.
    std::unique_ptr<Sha256Hasher> m_hasher;
    // The one block the body is read into: a fresh block of this size would come from the system
    // each time and cost a page fault per page, more than the copy itself.
    QByteArray m_block;
    QString m_error;
    qint64 m_received = 0;
    int m_lastPercentage = -1;
    bool m_writeFailed = false;
    bool m_oversized = false;
};

void Download::drain()
{
    while (!m_writeFailed && !m_oversized && m_reply->isOpen() && m_reply->bytesAvailable() > 0) {
        qint64 size = m_reply->read(m_block.data(), m_block.size());
        if (size <= 0)
            return;
        // A transfer is kept to one byte past the catalog's size, enough to know it is too large: a
        // server that sends no length (or a wrong one) cannot fill the disk with gigabytes the size
        // check refuses.
        if (m_package.size_bytes > 0)
            size = qMax(qint64(0), qMin(size, m_package.size_bytes + 1 - m_received));
        const QByteArrayView block(m_block.constData(), size);
        if (m_hasher)
            m_hasher->addData(block);
        if (m_file.write(block) != size) {
            m_writeFailed = true;
            m_error = QStringLiteral("Failed to write the downloaded archive for %1.")
                          .arg(displayLabel(m_package));
            m_reply->abort();
            return;
        }
        m_received += size;
        m_inactivity.start(m_inactivityTimeoutMs);
        if (m_package.size_bytes > 0 && m_received > m_package.size_bytes) {
            m_oversized = true;
            m_reply->abort();
        }
    }
}

void Download::reportProgress(qint64 received, qint64 total)
{
    if (!m_progress || total <= 0)
        return;
    // Qt reports the received count as the total once a transfer of unknown size has ended; that is
    // no known total, and a lone "100%" line would only look like a download that had one.
    if (!m_reply->header(QNetworkRequest::ContentLengthHeader).isValid())
        return;
    const int percentage = int(qBound(qint64(0), received * 100 / total, qint64(100)));
    if (percentage == m_lastPercentage)
        return;
    m_lastPercentage = percentage;
    m_progress(
        QStringLiteral("Downloading %1 (%2%)").arg(displayLabel(m_package), QString::number(percentage)));
}

bool Download::run(QString &errorText)
{
    QNetworkAccessManager manager;

    QEventLoop loop;
    m_inactivity.setSingleShot(true);
    m_reply = manager.get(downloadRequest(m_url));
    m_reply->setReadBufferSize(DownloadReadBufferSize);
    QObject::connect(m_reply, &QIODevice::readyRead, m_reply, [this] { drain(); });
    QObject::connect(m_reply, &QNetworkReply::downloadProgress, m_reply,
        [this](qint64 received, qint64 total) { reportProgress(received, total); });
    QObject::connect(&m_inactivity, &QTimer::timeout, m_reply, [this] {
        m_error = QStringLiteral("Timed out while downloading %1").arg(m_url.toString(QUrl::FullyEncoded));
        m_reply->abort();
    });
    QObject::connect(m_reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    m_inactivity.start(m_inactivityTimeoutMs);
    if (!m_reply->isFinished())
        loop.exec();
    m_inactivity.stop();

    drain();
    QString reason;
    const bool succeeded = downloadSucceeded(*m_reply, m_received, reason);
    m_reply->disconnect();
    m_reply->deleteLater();
    m_reply = nullptr;

    const QString label = displayLabel(m_package);
    const QString urlText = m_url.toString(QUrl::FullyEncoded);
    if (m_writeFailed) {
        errorText = m_error;
        return false;
    }
    if (m_oversized) {
        errorText = sizeMismatchMessage(m_package, m_package.size_bytes, m_received);
        return false;
    }
    if (!succeeded) {
        // A time-out has already said what went wrong; the reply only knows it was aborted.
        errorText = !m_error.isEmpty() ? m_error : downloadFailedMessage(label, urlText, reason);
        return false;
    }
    if (m_hasher) {
        const QString digest = m_hasher->hexResult();
        if (digest.compare(m_package.sha256, Qt::CaseInsensitive) != 0) {
            errorText = digestMismatchMessage(m_package, digest);
            return false;
        }
    }
    if (m_package.size_bytes >= 1 && m_package.size_bytes != m_received) {
        errorText = sizeMismatchMessage(m_package, m_package.size_bytes, m_received);
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
    Download download(package, url, file, progress, inactivityTimeoutMs);
    bool ok = download.run(errorText);
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
