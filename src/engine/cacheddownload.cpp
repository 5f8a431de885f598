#include "engine/cacheddownload.h"

#include "engine/archivecache.h"
#include "engine/archivedownload.h"
#include "engine/partrecord.h"
#include "net/rangerequest.h"
#include "net/streamdownload.h"
#include "platform/durability.h"
#include "platform/sha256hasher.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <memory>

namespace vexa {

namespace {

// The bytes of a part that no saved hash state covers are read in blocks this large.
constexpr qint64 PartHashBlockSize = 2 * 1024 * 1024;

enum class Attempt {
    Done, // the part holds the archive, checked
    Failed, // the error text says why
    StartOver, // the bytes held from before cannot be continued or proved wrong
};

class CachedDownload
{
public:
    CachedDownload(const PackageDefinition &package, const QUrl &url, const QString &directory,
        const ApplyProgressCallback &progress, int inactivityTimeoutMs)
        : m_package(package)
        , m_url(url)
        , m_directory(directory)
        , m_progress(progress)
        , m_inactivityTimeoutMs(inactivityTimeoutMs)
    { }

    CachedFetch run(QString &archivePath, QString &errorText);

private:
    QString path(const QString &name) const { return QDir(m_directory).filePath(name); }
    bool useCachedArchive(const QString &archive);
    void loadPart();
    bool openPart();
    Attempt attempt(QString &errorText);
    Attempt finish(qint64 bodyOffset, QString &errorText);
    qint64 checkHead(const ResponseHead &head);
    void startOver(const ResponseHead &head);
    bool catchUpHash();
    void keepPart();
    void discardPart();

    const PackageDefinition &m_package;
    const QUrl m_url;
    const QString m_directory;
    const ApplyProgressCallback &m_progress;
    const int m_inactivityTimeoutMs;

    QString m_partPath;
    QString m_recordPath;
    QFile m_part;
    PartRecord m_record;
    std::unique_ptr<Sha256Hasher> m_hasher;
    // Bytes of the part the next request asks to continue.
    qint64 m_held = 0;
    // Bytes in the part now; the hash covers them all while m_hashCurrent holds.
    qint64 m_written = 0;
    bool m_hashCurrent = false;
    // The answer is not the archive (an error page): its body is not stored.
    bool m_discardBody = false;
};

CachedFetch CachedDownload::run(QString &archivePath, QString &errorText)
{
    if (m_directory.isEmpty() || !QDir().mkpath(m_directory))
        return CachedFetch::CacheUnavailable;
    // One download of an archive at a time, also between installers running side by side. The lock
    // is only stale once its process has gone, however long a download takes.
    QLockFile lock(path(cacheLockName(m_package.sha256)));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(0))
        return CachedFetch::CacheUnavailable;

    const QString archive = path(cachedArchiveName(m_package.sha256));
    if (QFileInfo::exists(archive)) {
        if (useCachedArchive(archive)) {
            archivePath = archive;
            return CachedFetch::Fetched;
        }
        if (!QFile::remove(archive))
            return CachedFetch::CacheUnavailable;
    }

    m_partPath = path(partName(m_package.sha256));
    m_recordPath = path(partRecordName(m_package.sha256));
    loadPart();
    if (!openPart())
        return CachedFetch::CacheUnavailable;
    bool startedOver = false;
    for (;;) {
        const Attempt result = attempt(errorText);
        if (result == Attempt::Done)
            break;
        // Bytes from before are given one chance; the download from zero then stands on its own.
        if (result == Attempt::StartOver && !startedOver) {
            startedOver = true;
            discardPart();
            if (!openPart())
                return CachedFetch::CacheUnavailable;
            continue;
        }
        m_part.close();
        return CachedFetch::Failed;
    }

    m_part.close();
    if (!QFile::rename(m_partPath, archive)) {
        discardPart();
        errorText = archiveCommitFailureText(m_package);
        return CachedFetch::Failed;
    }
    QFile::remove(m_recordPath);
    archivePath = archive;
    reportDownloaded(m_package, m_written, m_progress);
    return CachedFetch::Fetched;
}

// Checked on every use: a cached file is only as good as the disk it sits on.
bool CachedDownload::useCachedArchive(const QString &archive)
{
    if (!isIntactArchive(m_package, archive))
        return false;
    markArchiveUsed(archive);
    const qint64 size = QFileInfo(archive).size();
    reportHeldWhole(m_package, size, m_progress);
    reportDownloaded(m_package, size, m_progress);
    return true;
}

// How much of a part left by an earlier attempt can be continued: all of it when its record names
// this URL and it is no longer than the archive, nothing otherwise.
void CachedDownload::loadPart()
{
    m_held = 0;
    const QFileInfo part(m_partPath);
    PartRecord record;
    if (part.isFile() && readPartRecord(m_recordPath, record)
        && record.url == m_url.toString(QUrl::FullyEncoded)
        && (m_package.size_bytes <= 0 || part.size() <= m_package.size_bytes)) {
        m_held = part.size();
        m_record = record;
    }
    if (m_held == 0)
        discardPart();
}

bool CachedDownload::openPart()
{
    m_part.setFileName(m_partPath);
    // Unbuffered: every block reaches the system as it is written, so a killed process leaves a part
    // whose length is what it holds.
    if (!m_part.open(QIODevice::ReadWrite | QIODevice::Unbuffered) || !m_part.seek(m_held)) {
        m_part.close();
        return false;
    }
    m_hasher = std::make_unique<Sha256Hasher>();
    m_written = m_held;
    m_hashCurrent = m_held == 0;
    return true;
}

Attempt CachedDownload::attempt(QString &errorText)
{
    m_discardBody = false;
    // A part as long as the archive needs no request, only its check.
    if (m_held > 0 && m_held == m_package.size_bytes) {
        if (!catchUpHash())
            return Attempt::StartOver;
        reportHeldWhole(m_package, m_held, m_progress);
        return finish(m_held, errorText);
    }

    StreamDownloadOptions options;
    options.maxBytes = m_package.size_bytes;
    options.inactivityTimeoutMs = m_inactivityTimeoutMs;
    options.requestHeaders = resumableRequestHeaders(m_held, m_record.version);
    options.startOffset = m_held;
    options.headCheck = [this](const ResponseHead &head) { return checkHead(head); };
    const BlockSink sink = [this](QByteArrayView block) {
        if (m_discardBody)
            return true;
        m_hasher->addData(block);
        if (m_part.write(block.data(), block.size()) != block.size())
            return false;
        m_written += block.size();
        return true;
    };
    const StreamDownloadResult result
        = streamDownload(m_url, sink, options, downloadProgressEvents(m_package, m_progress));

    const bool continued = result.bodyOffset > 0;
    switch (result.outcome) {
    case StreamDownloadResult::Completed:
        // Only a continued download completes without storing its body: the answer was neither the
        // rest nor the whole, so what is held cannot be checked. (An error page fails the transfer.)
        if (m_discardBody)
            return Attempt::StartOver;
        return finish(result.bodyOffset, errorText);
    case StreamDownloadResult::Refused:
        return Attempt::StartOver;
    case StreamDownloadResult::TooLarge:
        if (continued)
            return Attempt::StartOver;
        errorText = transferFailureText(m_package, m_url, result);
        discardPart();
        return Attempt::Failed;
    case StreamDownloadResult::SinkFailed:
        // Most likely a full disk: what was written goes, to give the space back.
        errorText = transferFailureText(m_package, m_url, result);
        discardPart();
        return Attempt::Failed;
    case StreamDownloadResult::TimedOut:
    case StreamDownloadResult::Failed:
        errorText = transferFailureText(m_package, m_url, result);
        keepPart();
        return Attempt::Failed;
    }
    return Attempt::Failed;
}

// The part is complete as far as the transfer knows; its size and digest decide.
Attempt CachedDownload::finish(qint64 bodyOffset, QString &errorText)
{
    if (checkArchiveDigestAndSize(m_package, m_hasher->hexResult(), m_written, errorText))
        return Attempt::Done;
    if (bodyOffset > 0)
        return Attempt::StartOver;
    discardPart();
    return Attempt::Failed;
}

qint64 CachedDownload::checkHead(const ResponseHead &head)
{
    if (m_held == 0) {
        if (head.status >= 400)
            m_discardBody = true;
        else
            startOver(head);
        return 0;
    }
    switch (readRangeAnswer(head, m_held, m_record.version)) {
    case RangeAnswer::Continues:
        return catchUpHash() ? m_held : -1;
    case RangeAnswer::StartsOver:
        startOver(head);
        return 0;
    case RangeAnswer::Unusable:
        return -1;
    case RangeAnswer::Other:
        break;
    }
    m_discardBody = true;
    return m_held;
}

// The whole archive comes from its first byte: the part is emptied and the record names the version
// now being received, before any of its bytes is stored.
void CachedDownload::startOver(const ResponseHead &head)
{
    // A fresh part is empty already; truncating it anyway makes some file systems (ext4) push all of
    // it to the disk when it is closed.
    if (m_part.size() > 0)
        m_part.resize(0);
    m_part.seek(0);
    m_hasher = std::make_unique<Sha256Hasher>();
    m_written = 0;
    m_hashCurrent = true;
    m_record = PartRecord { m_url.toString(QUrl::FullyEncoded), { head.etag, head.lastModified }, 0, {}, 0 };
    writePartRecord(m_recordPath, m_record);
}

// Brings the hash over the bytes held: from the state the record saved when the part is still as it was
// then (nothing written to it since, its bytes synced before the record), otherwise from the first byte.
bool CachedDownload::catchUpHash()
{
    qint64 from = 0;
    if (m_record.hashedBytes > 0 && m_record.hashedBytes == m_held
        && QFileInfo(m_partPath).lastModified().toMSecsSinceEpoch() == m_record.partModifiedMs
        && m_hasher->restoreState(m_record.hashState))
        from = m_record.hashedBytes;
    QFile reader(m_partPath);
    if (!reader.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !reader.seek(from))
        return false;
    QByteArray block(PartHashBlockSize, Qt::Uninitialized);
    while (from < m_held) {
        const qint64 count = reader.read(block.data(), qMin(PartHashBlockSize, m_held - from));
        if (count <= 0)
            return false;
        m_hasher->addData(QByteArrayView(block.constData(), count));
        from += count;
    }
    m_hashCurrent = true;
    return true;
}

// Leaves the part for the next attempt with the hash state over all of it. The bytes are synced
// first, so that a record that survives a power cut never vouches for bytes that did not.
void CachedDownload::keepPart()
{
    if (m_written == 0) {
        discardPart();
        return;
    }
    if (!m_hashCurrent || m_record.url.isEmpty())
        return;
    const QByteArray state = m_hasher->saveState();
    if (state.isEmpty() || !syncFileData(m_part))
        return;
    // Closed first: some systems settle the modification time only when the last handle goes.
    m_part.close();
    m_record.hashedBytes = m_written;
    m_record.hashState = state;
    m_record.partModifiedMs = QFileInfo(m_partPath).lastModified().toMSecsSinceEpoch();
    writePartRecord(m_recordPath, m_record);
}

void CachedDownload::discardPart()
{
    m_part.close();
    QFile::remove(m_partPath);
    QFile::remove(m_recordPath);
    m_held = 0;
    m_record = PartRecord();
}

} // namespace

CachedFetch fetchThroughArchiveCache(const PackageDefinition &package, const QUrl &url,
    const QString &cacheDirectory, QString &archivePath, QString &errorText,
    const ApplyProgressCallback &progress, int inactivityTimeoutMs)
{
    CachedDownload download(package, url, cacheDirectory, progress, inactivityTimeoutMs);
    return download.run(archivePath, errorText);
}

} // namespace vexa
