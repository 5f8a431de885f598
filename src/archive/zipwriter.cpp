#include "archive/zipwriter.h"

#include "platform/sha256hasher.h"

#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QtEndian>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <zlib.h>

namespace vexa {

namespace {

constexpr quint32 LocalHeaderSignature = 0x04034b50;
constexpr quint32 DataDescriptorSignature = 0x08074b50;
constexpr quint32 CentralHeaderSignature = 0x02014b50;
constexpr quint32 Zip64EndOfDirectorySignature = 0x06064b50;
constexpr quint32 Zip64LocatorSignature = 0x07064b50;
constexpr quint32 EndOfDirectorySignature = 0x06054b50;
constexpr quint16 StoredMethod = 0;
constexpr quint16 DeflatedMethod = 8;
constexpr quint16 DataDescriptorFlag = 0x0008;
constexpr quint16 Utf8NamesFlag = 0x0800;
constexpr quint16 Zip64ExtraTag = 0x0001;
// MS-DOS date of 1980-01-01 (the earliest a zip can hold) and time 00:00.
constexpr quint16 FixedDate = (0 << 9) | (1 << 5) | 1;
constexpr quint16 FixedTime = 0;
constexpr quint16 DefaultVersion = 20;
constexpr quint16 Zip64Version = 45;
constexpr quint16 UnixHost = 3;
constexpr quint32 FileAttributes = 0100644u << 16;
constexpr quint32 DirectoryAttributes = (040755u << 16) | 0x10;
constexpr quint32 Max32 = 0xffffffffu;
constexpr quint16 Max16 = 0xffff;
constexpr qint64 DictionarySize = 32 * 1024;
// A file's compressed size is known only after its local header is written, and deflating makes
// incompressible data a little larger; a file this large gets 64-bit sizes from the start.
constexpr quint64 Zip64FileSize = 0xff000000u;
// Headers and small files are gathered into writes of about this size.
constexpr qsizetype OutputBufferSize = 1024 * 1024;

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

void put64(QByteArray &out, quint64 value)
{
    char bytes[8];
    qToLittleEndian(value, bytes);
    out.append(bytes, 8);
}

QString readFailure(const QString &path)
{
    return QStringLiteral("Failed to read %1").arg(path);
}

// One block of one file, in archive order.
struct Block
{
    qsizetype file = 0;
    qint64 offset = 0;
    qint64 length = 0;
    bool last = false;
    bool only = false; // the file's one block: it may be stored instead
};

struct PackedBlock
{
    QByteArray data; // the bytes that go into the archive
    quint32 crc = 0; // of the block's own bytes
    qint64 rawLength = 0;
    bool stored = false;
    QString errorText;
};

// Deflates blocks on one thread, reusing its stream and buffers.
class BlockPacker
{
public:
    BlockPacker()
    {
        m_ready
            = deflateInit2(&m_stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY)
            == Z_OK;
    }
    ~BlockPacker()
    {
        if (m_ready)
            deflateEnd(&m_stream);
    }
    BlockPacker(const BlockPacker &) = delete;
    BlockPacker &operator=(const BlockPacker &) = delete;

    PackedBlock pack(const Block &block, const QString &path);

private:
    z_stream m_stream {};
    bool m_ready = false;
    QByteArray m_input;
};

PackedBlock BlockPacker::pack(const Block &block, const QString &path)
{
    PackedBlock packed;
    packed.rawLength = block.length;
    const qint64 dictionary = qMin(block.offset, DictionarySize);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || !file.seek(block.offset - dictionary)) {
        packed.errorText = readFailure(path);
        return packed;
    }
    const qint64 wanted = dictionary + block.length;
    m_input.resize(wanted);
    qint64 have = 0;
    while (have < wanted) {
        const qint64 count = file.read(m_input.data() + have, wanted - have);
        if (count <= 0)
            break;
        have += count;
    }
    // More bytes than were measured are caught here too: the last block must end the file.
    char probe = 0;
    if (have != wanted || (block.last && file.read(&probe, 1) != 0)) {
        packed.errorText = QStringLiteral("%1 changed while it was being packed.").arg(path);
        return packed;
    }
    auto *dictionaryBytes = reinterpret_cast<Bytef *>(m_input.data());
    auto *bytes = dictionaryBytes + dictionary;
    packed.crc = quint32(crc32(0, bytes, uInt(block.length)));

    if (!m_ready || deflateReset(&m_stream) != Z_OK
        || (dictionary > 0 && deflateSetDictionary(&m_stream, dictionaryBytes, uInt(dictionary)) != Z_OK)) {
        packed.errorText = QStringLiteral("Failed to compress %1").arg(path);
        return packed;
    }
    // A block that is not the file's last ends with a sync flush: on a byte boundary and without the
    // final-block mark, so the next block's stream simply continues it.
    packed.data.resize(qsizetype(deflateBound(&m_stream, uLong(block.length))) + 16);
    m_stream.next_in = bytes;
    m_stream.avail_in = uInt(block.length);
    m_stream.next_out = reinterpret_cast<Bytef *>(packed.data.data());
    m_stream.avail_out = uInt(packed.data.size());
    const int result = deflate(&m_stream, block.last ? Z_FINISH : Z_SYNC_FLUSH);
    // Output room to spare is what tells that a flush completed.
    if ((block.last ? result != Z_STREAM_END : result != Z_OK) || m_stream.avail_in != 0
        || m_stream.avail_out == 0) {
        packed.errorText = QStringLiteral("Failed to compress %1").arg(path);
        return packed;
    }
    packed.data.truncate(packed.data.size() - qsizetype(m_stream.avail_out));
    if (block.only && packed.data.size() >= block.length) {
        packed.data = QByteArray(reinterpret_cast<const char *>(bytes), block.length);
        packed.stored = true;
    }
    return packed;
}

// Packs the blocks on worker threads and hands them out in order. Workers run at most a window of
// blocks ahead of the one being written, which bounds memory whatever the files' sizes.
class ParallelPacker
{
public:
    ParallelPacker(const std::vector<Block> &blocks, const QStringList &paths, int threadCount)
        : m_blocks(blocks)
        , m_paths(paths)
        , m_window(std::max<size_t>(4, size_t(threadCount) * 4))
        , m_slots(m_window)
        , m_filled(m_window, false)
    {
        for (int i = 0; i < threadCount; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~ParallelPacker()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        for (std::thread &thread : m_threads)
            thread.join();
    }
    ParallelPacker(const ParallelPacker &) = delete;
    ParallelPacker &operator=(const ParallelPacker &) = delete;

    // The next block in order, waiting for it when needed.
    PackedBlock takeNext()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const size_t slot = m_taken % m_window;
        m_changed.wait(lock, [&] { return bool(m_filled[slot]); });
        PackedBlock packed = std::move(m_slots[slot]);
        m_filled[slot] = false;
        ++m_taken;
        lock.unlock();
        m_changed.notify_all();
        return packed;
    }

private:
    void work()
    {
        BlockPacker packer;
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_changed.wait(
                lock, [&] { return m_stopping || m_next >= m_blocks.size() || m_next < m_taken + m_window; });
            if (m_stopping || m_next >= m_blocks.size())
                return;
            const size_t index = m_next++;
            lock.unlock();
            const Block &block = m_blocks[index];
            PackedBlock packed = packer.pack(block, m_paths.at(block.file));
            lock.lock();
            m_slots[index % m_window] = std::move(packed);
            m_filled[index % m_window] = true;
            m_changed.notify_all();
        }
    }

    const std::vector<Block> &m_blocks;
    const QStringList &m_paths;
    const size_t m_window;
    std::vector<PackedBlock> m_slots;
    std::vector<bool> m_filled;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    size_t m_next = 0;
    size_t m_taken = 0;
    bool m_stopping = false;
};

// The archive file, hashed and counted as it is written.
class ArchiveOutput
{
public:
    explicit ArchiveOutput(const QString &path)
        : m_file(path)
    { }

    bool open() { return m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered); }
    quint64 position() const { return m_position; }
    bool write(QByteArrayView data)
    {
        m_buffer.append(data);
        m_position += quint64(data.size());
        return m_buffer.size() < OutputBufferSize || flush();
    }
    bool flush()
    {
        m_hasher.addData(m_buffer);
        const bool written = m_file.write(m_buffer) == m_buffer.size();
        m_buffer.clear();
        return written;
    }
    bool finish(ZipWriteResult &result)
    {
        if (!flush())
            return false;
        m_file.close();
        if (m_file.error() != QFileDevice::NoError)
            return false;
        result.sha256 = m_hasher.hexResult();
        result.size = qint64(m_position);
        return true;
    }
    void discard()
    {
        m_file.close();
        m_file.remove();
    }

private:
    QFile m_file;
    Sha256Hasher m_hasher;
    QByteArray m_buffer;
    quint64 m_position = 0;
};

struct CentralRecord
{
    QByteArray name;
    quint16 flags = 0;
    quint16 method = StoredMethod;
    quint32 crc = 0;
    quint64 compressedSize = 0;
    quint64 uncompressedSize = 0;
    quint64 offset = 0;
    bool isDirectory = false;
    bool zip64Sizes = false;
};

QByteArray localHeader(const CentralRecord &record)
{
    QByteArray header;
    put32(header, LocalHeaderSignature);
    put16(header, record.zip64Sizes ? Zip64Version : DefaultVersion);
    put16(header, record.flags);
    put16(header, record.method);
    put16(header, FixedTime);
    put16(header, FixedDate);
    const bool later = record.flags & DataDescriptorFlag;
    put32(header, later ? 0 : record.crc);
    put32(header, record.zip64Sizes ? Max32 : later ? 0 : quint32(record.compressedSize));
    put32(header, record.zip64Sizes ? Max32 : later ? 0 : quint32(record.uncompressedSize));
    put16(header, quint16(record.name.size()));
    put16(header, record.zip64Sizes ? 20 : 0);
    header.append(record.name);
    if (record.zip64Sizes) {
        // The sizes follow the data in the descriptor; here they are only announced as 64-bit.
        put16(header, Zip64ExtraTag);
        put16(header, 16);
        put64(header, 0);
        put64(header, 0);
    }
    return header;
}

QByteArray dataDescriptor(const CentralRecord &record)
{
    QByteArray descriptor;
    put32(descriptor, DataDescriptorSignature);
    put32(descriptor, record.crc);
    if (record.zip64Sizes) {
        put64(descriptor, record.compressedSize);
        put64(descriptor, record.uncompressedSize);
    } else {
        put32(descriptor, quint32(record.compressedSize));
        put32(descriptor, quint32(record.uncompressedSize));
    }
    return descriptor;
}

QByteArray centralHeader(const CentralRecord &record)
{
    // The ZIP64 field holds, in this order, exactly the values whose 32-bit fields read 0xffffffff.
    const bool bigSizes = record.zip64Sizes;
    const bool bigOffset = record.offset >= Max32;
    QByteArray extra;
    if (bigSizes || bigOffset) {
        put16(extra, Zip64ExtraTag);
        put16(extra, quint16((bigSizes ? 16 : 0) + (bigOffset ? 8 : 0)));
        if (bigSizes) {
            put64(extra, record.uncompressedSize);
            put64(extra, record.compressedSize);
        }
        if (bigOffset)
            put64(extra, record.offset);
    }
    const quint16 version = extra.isEmpty() ? DefaultVersion : Zip64Version;
    QByteArray header;
    put32(header, CentralHeaderSignature);
    put16(header, quint16(UnixHost << 8 | version));
    put16(header, version);
    put16(header, record.flags);
    put16(header, record.method);
    put16(header, FixedTime);
    put16(header, FixedDate);
    put32(header, record.crc);
    put32(header, bigSizes ? Max32 : quint32(record.compressedSize));
    put32(header, bigSizes ? Max32 : quint32(record.uncompressedSize));
    put16(header, quint16(record.name.size()));
    put16(header, quint16(extra.size()));
    put16(header, 0); // comment
    put16(header, 0); // disk
    put16(header, 0); // internal attributes
    put32(header, record.isDirectory ? DirectoryAttributes : FileAttributes);
    put32(header, bigOffset ? Max32 : quint32(record.offset));
    header.append(record.name);
    header.append(extra);
    return header;
}

QByteArray endRecords(quint64 count, quint64 directoryOffset, quint64 directorySize)
{
    QByteArray end;
    const bool zip64 = count >= Max16 || directoryOffset >= Max32 || directorySize >= Max32;
    if (zip64) {
        const quint64 recordOffset = directoryOffset + directorySize;
        put32(end, Zip64EndOfDirectorySignature);
        put64(end, 44); // the record's size after this field
        put16(end, quint16(UnixHost << 8 | Zip64Version));
        put16(end, Zip64Version);
        put32(end, 0); // this disk
        put32(end, 0); // the directory's disk
        put64(end, count);
        put64(end, count);
        put64(end, directorySize);
        put64(end, directoryOffset);
        put32(end, Zip64LocatorSignature);
        put32(end, 0);
        put64(end, recordOffset);
        put32(end, 1); // disks
    }
    put32(end, EndOfDirectorySignature);
    put16(end, 0);
    put16(end, 0);
    put16(end, count >= Max16 ? Max16 : quint16(count));
    put16(end, count >= Max16 ? Max16 : quint16(count));
    put32(end, directorySize >= Max32 ? Max32 : quint32(directorySize));
    put32(end, directoryOffset >= Max32 ? Max32 : quint32(directoryOffset));
    put16(end, 0); // comment
    return end;
}

struct SortedEntry
{
    QByteArray name; // as stored: directories end with "/"
    QString sourcePath;
    bool isDirectory = false;
    qint64 size = 0;
};

bool writeEntries(
    const std::vector<SortedEntry> &entries, int threadCount, ArchiveOutput &output, QString &errorText)
{
    QStringList paths;
    std::vector<Block> blocks;
    for (const SortedEntry &entry : entries) {
        if (entry.isDirectory)
            continue;
        const qsizetype file = paths.size();
        paths.append(entry.sourcePath);
        qint64 offset = 0;
        do {
            Block block;
            block.file = file;
            block.offset = offset;
            block.length = qMin(ZipWriterBlockSize, entry.size - offset);
            offset += block.length;
            block.last = offset >= entry.size;
            block.only = block.offset == 0 && block.last;
            blocks.push_back(block);
        } while (offset < entry.size);
    }

    ParallelPacker packer(blocks, paths, threadCount);
    QList<CentralRecord> records;
    records.reserve(qsizetype(entries.size()));
    for (const SortedEntry &entry : entries) {
        CentralRecord record;
        record.name = entry.name;
        record.isDirectory = entry.isDirectory;
        record.offset = output.position();
        bool ascii = true;
        for (const char c : entry.name)
            ascii = ascii && uchar(c) < 0x80;
        if (!ascii)
            record.flags |= Utf8NamesFlag;

        if (entry.isDirectory) {
            if (!output.write(localHeader(record)))
                return false;
            records.append(record);
            continue;
        }
        PackedBlock packed = packer.takeNext();
        if (!packed.errorText.isEmpty()) {
            errorText = packed.errorText;
            return false;
        }
        if (entry.size <= ZipWriterBlockSize) {
            record.method = packed.stored ? StoredMethod : DeflatedMethod;
            record.crc = packed.crc;
            record.compressedSize = quint64(packed.data.size());
            record.uncompressedSize = quint64(entry.size);
            if (!output.write(localHeader(record)) || !output.write(packed.data))
                return false;
            records.append(record);
            continue;
        }
        // Larger files are written block by block, so their checksum and compressed size follow the
        // data in a descriptor.
        record.method = DeflatedMethod;
        record.flags |= DataDescriptorFlag;
        record.zip64Sizes = quint64(entry.size) >= Zip64FileSize;
        if (!output.write(localHeader(record)))
            return false;
        for (;;) {
            record.crc = quint32(crc32_combine(record.crc, packed.crc, z_off_t(packed.rawLength)));
            record.compressedSize += quint64(packed.data.size());
            record.uncompressedSize += quint64(packed.rawLength);
            if (!output.write(packed.data))
                return false;
            if (record.uncompressedSize >= quint64(entry.size))
                break;
            packed = packer.takeNext();
            if (!packed.errorText.isEmpty()) {
                errorText = packed.errorText;
                return false;
            }
        }
        if (!output.write(dataDescriptor(record)))
            return false;
        records.append(record);
    }

    const quint64 directoryOffset = output.position();
    for (const CentralRecord &record : std::as_const(records)) {
        if (!output.write(centralHeader(record)))
            return false;
    }
    return output.write(
        endRecords(quint64(records.size()), directoryOffset, output.position() - directoryOffset));
}

} // namespace

bool writeDeterministicZip(QList<ZipSourceEntry> entries, const QString &archivePath, ZipWriteResult &result,
    QString &errorText, int threadCount)
{
    std::vector<SortedEntry> sorted;
    sorted.reserve(size_t(entries.size()));
    for (const ZipSourceEntry &entry : std::as_const(entries)) {
        SortedEntry item;
        item.name = entry.storedPath.toUtf8();
        item.isDirectory = entry.isDirectory;
        if (entry.isDirectory) {
            item.name.append('/');
        } else {
            item.sourcePath = entry.sourcePath;
            const QFileInfo info(entry.sourcePath);
            if (!info.isFile()) {
                errorText = readFailure(entry.sourcePath);
                return false;
            }
            item.size = info.size();
        }
        sorted.push_back(std::move(item));
    }
    std::sort(sorted.begin(), sorted.end(),
        [](const SortedEntry &a, const SortedEntry &b) { return a.name < b.name; });
    for (size_t i = 1; i < sorted.size(); ++i) {
        if (sorted[i].name == sorted[i - 1].name) {
            errorText
                = QStringLiteral("Archive entry %1 is given twice.").arg(QString::fromUtf8(sorted[i].name));
            return false;
        }
    }

    ArchiveOutput output(archivePath);
    if (!output.open()) {
        errorText = QStringLiteral("Failed to create %1").arg(archivePath);
        return false;
    }
    const int threads = threadCount > 0 ? threadCount : qMax(1, QThread::idealThreadCount());
    QString entryError;
    if (!writeEntries(sorted, threads, output, entryError) || !output.finish(result)) {
        output.discard();
        errorText = entryError.isEmpty() ? QStringLiteral("Failed to write %1").arg(archivePath) : entryError;
        return false;
    }
    return true;
}

} // namespace vexa
