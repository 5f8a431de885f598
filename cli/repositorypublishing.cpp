#include "cli/repositorypublishing.h"

#include "archive/documentsigning.h"
#include "archive/pathcontainment.h"
#include "archive/zipwriter.h"
#include "catalog/catalogloading.h"
#include "cli/orderedjson.h"
#include "cli/payloadfiles.h"
#include "cli/payloadpackage.h"
#include "platform/filedata.h"
#include "platform/savefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

namespace vexa {

namespace {

const QString CatalogFileName = QStringLiteral("catalog.json");
constexpr qint64 CopyBlockSize = 1024 * 1024;
// Copies of a directory payload get the modes its archive would record: they are not input either.
constexpr QFileDevice::Permissions CopiedFilePermissions
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

QString cleanAbsolutePath(const QString &path)
{
    return QDir::cleanPath(QDir::fromNativeSeparators(QFileInfo(path).absoluteFilePath()));
}

bool isSameOrBelow(const QString &path, const QString &base)
{
    return path == base || path.startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/'));
}

struct Payload
{
    PayloadPackage package;
    QList<PayloadEntry> entries;
    QString sidecarName;
};

// One path the repository will hold and who writes it.
struct PlannedOutput
{
    QString path;
    QString owner;
};

// No two outputs may share a path, or lie one inside the other, compared without regard to case:
// repositories are served from and installed on Windows too.
bool checkOutputs(const QList<PlannedOutput> &outputs, QString &errorText)
{
    QHash<QString, const PlannedOutput *> byPath;
    // The first to claim a path keeps it, so a clash names the payloads in the order they were given.
    for (const PlannedOutput &output : outputs) {
        const QString key = output.path.toLower();
        if (!byPath.contains(key))
            byPath.insert(key, &output);
    }
    for (const PlannedOutput &output : outputs) {
        // The path itself, then each directory above it.
        for (QString path = output.path.toLower(); !path.isEmpty();
             path = path.section(QLatin1Char('/'), 0, -2)) {
            const PlannedOutput *other = byPath.value(path);
            if (other && other != &output) {
                errorText = QStringLiteral("%1 and %2 would both publish %3.")
                                .arg(other->owner, output.owner, other->path);
                return false;
            }
        }
    }
    return true;
}

bool readPayloads(
    const PublishRequest &request, const QString &output, QList<Payload> &payloads, QString &errorText)
{
    QList<PlannedOutput> outputs;
    for (const QString &given : request.payloadDirectories) {
        Payload payload;
        const QString directory = cleanAbsolutePath(given);
        if (!QFileInfo(directory).isDir()) {
            errorText = QStringLiteral("Payload directory not found: %1").arg(directory);
            return false;
        }
        if (isSameOrBelow(output, directory) || isSameOrBelow(directory, output)) {
            errorText = QStringLiteral("The output directory %1 and the payload directory %2 must lie apart.")
                            .arg(output, directory);
            return false;
        }
        if (!readPayloadPackage(directory, payload.package, errorText)
            || !listPayloadEntries(directory, payload.entries, errorText))
            return false;
        outputs.append({ payload.package.payloadPath, directory });
        if (request.packageIndex) {
            payload.sidecarName = QFileInfo(directory).fileName() + QStringLiteral(".json");
            outputs.append({ payload.sidecarName, directory });
        }
        payloads.append(payload);
    }
    // A repository directory holding a catalog.json is read from it and never from its sidecars, so
    // the name stays free in an indexed repository as well.
    const QString catalogOwner
        = request.packageIndex ? QStringLiteral("the package index") : QStringLiteral("the catalog");
    QStringList documents { CatalogFileName };
    if (request.packageIndex)
        documents.append(PackageIndexFileName);
    for (const QString &document : std::as_const(documents)) {
        outputs.append({ document, catalogOwner });
        if (!request.signingKeyPath.isEmpty())
            outputs.append({ signatureFilePath(document), catalogOwner });
    }
    if (!request.signingKeyPath.isEmpty()) {
        for (const Payload &payload : std::as_const(payloads)) {
            if (!payload.sidecarName.isEmpty())
                outputs.append({ signatureFilePath(payload.sidecarName), payload.package.directory });
        }
    }
    return checkOutputs(outputs, errorText);
}

bool readSigningKey(const QString &path, QByteArray &key, QString &errorText)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        errorText = QStringLiteral("Failed to read the signing key %1").arg(path);
        return false;
    }
    key = file.readAll();
    // Tried once on nothing, so that a wrong key is known before any archive is packed.
    QByteArray signature;
    QString signError;
    if (!signDocument(QByteArray(), key, signature, signError)) {
        errorText = QStringLiteral("Cannot sign with %1. %2").arg(path, signError);
        return false;
    }
    return true;
}

bool copyPayload(const QList<PayloadEntry> &entries, const QString &target, QString &errorText)
{
    if (!QDir().mkpath(target)) {
        errorText = QStringLiteral("Failed to create %1").arg(target);
        return false;
    }
    QByteArray buffer(CopyBlockSize, Qt::Uninitialized);
    for (const PayloadEntry &entry : entries) {
        const QString path = target + QLatin1Char('/') + entry.relativePath;
        if (entry.isDirectory) {
            if (!QDir().mkpath(path)) {
                errorText = QStringLiteral("Failed to create %1").arg(path);
                return false;
            }
            continue;
        }
        QFile source(entry.sourcePath);
        QFile copy(path);
        const bool copied = source.open(QIODevice::ReadOnly | QIODevice::Unbuffered)
            && copy.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)
            && copyFileData(source, copy, buffer);
        copy.close();
        if (!copied || copy.error() != QFileDevice::NoError || !copy.setPermissions(CopiedFilePermissions)) {
            errorText = QStringLiteral("Failed to copy %1 to %2").arg(entry.sourcePath, path);
            return false;
        }
    }
    return true;
}

// The computed fields follow payload_archive where the author put it, or end the entry together with
// it when the archive's place was left to publishing.
void addComputedFields(PayloadPackage &package, const ZipWriteResult &archive)
{
    OrderedJson &entry = package.entry;
    qsizetype at = qsizetype(entry.members.size());
    if (package.archivePathGiven) {
        for (size_t i = 0; i < entry.members.size(); ++i) {
            if (entry.members[i].first == QLatin1String("payload_archive"))
                at = qsizetype(i) + 1;
        }
    } else {
        entry.insertMember(at++, QStringLiteral("payload_archive"), OrderedJson::string(package.payloadPath));
    }
    entry.insertMember(at++, QStringLiteral("sha256"), OrderedJson::string(archive.sha256));
    entry.insertMember(at, QStringLiteral("size_bytes"), OrderedJson::number(archive.size));
}

bool buildPayload(Payload &payload, const QString &repository, int threadCount, PublishedPackage &published,
    QString &errorText, const ProgressCallback &progress)
{
    PayloadPackage &package = payload.package;
    const OrderedJson *id = package.entry.member(QStringLiteral("package_id"));
    published.packageId = id ? id->text : QString();
    published.payloadDirectory = package.directory;
    published.payloadPath = package.payloadPath;
    published.isDirectoryPayload = package.isDirectoryPayload;
    const QString target = repository + QLatin1Char('/') + package.payloadPath;
    if (progress) {
        progress((package.isDirectoryPayload ? QStringLiteral("Copying %1 to %2...")
                                             : QStringLiteral("Packing %1 into %2..."))
                     .arg(package.directory, package.payloadPath));
    }
    if (package.isDirectoryPayload)
        return copyPayload(payload.entries, target, errorText);

    if (!QDir().mkpath(QFileInfo(target).absolutePath())) {
        errorText = QStringLiteral("Failed to create %1").arg(QFileInfo(target).absolutePath());
        return false;
    }
    QList<ZipSourceEntry> zipEntries;
    zipEntries.reserve(payload.entries.size());
    for (const PayloadEntry &entry : std::as_const(payload.entries))
        zipEntries.append(
            { entry.relativePath, entry.isDirectory ? QString() : entry.sourcePath, entry.isDirectory });
    ZipWriteResult archive;
    if (!writeDeterministicZip(zipEntries, target, archive, errorText, threadCount))
        return false;
    published.sha256 = archive.sha256;
    published.sizeBytes = archive.size;
    addComputedFields(package, archive);
    return true;
}

bool saveDocument(const QString &repository, const QString &name, const QByteArray &text, QString &errorText)
{
    const QString path = repository + QLatin1Char('/') + name;
    if (saveFileWhole(path, text) == SaveResult::Saved)
        return true;
    errorText = QStringLiteral("Failed to write %1").arg(path);
    return false;
}

bool writeDocuments(const QList<Payload> &payloads, const QString &repository, bool packageIndex,
    QStringList &documents, QString &errorText)
{
    if (!packageIndex) {
        OrderedJson catalog;
        catalog.kind = OrderedJson::Object;
        OrderedJson packages;
        packages.kind = OrderedJson::Array;
        for (const Payload &payload : payloads)
            packages.elements.push_back(payload.package.entry);
        catalog.members.emplace_back(QStringLiteral("schema_version"), OrderedJson::number(1));
        catalog.members.emplace_back(QStringLiteral("packages"), std::move(packages));
        documents = { CatalogFileName };
        return saveDocument(repository, CatalogFileName, orderedJsonText(catalog) + '\n', errorText);
    }
    QByteArray index;
    documents = { PackageIndexFileName };
    for (const Payload &payload : payloads) {
        if (!saveDocument(
                repository, payload.sidecarName, orderedJsonText(payload.package.entry) + '\n', errorText))
            return false;
        index += payload.sidecarName.toUtf8() + '\n';
        documents.append(payload.sidecarName);
    }
    return saveDocument(repository, PackageIndexFileName, index, errorText);
}

// Takes the output's name for the finished repository. An empty directory there gives way; anything
// that appeared there meanwhile stops the move instead.
bool moveIntoPlace(QTemporaryDir &staging, const QString &output, QString &errorText)
{
    const bool replacesEmptyDirectory = QFileInfo(output).isDir();
    if (replacesEmptyDirectory && !QDir().rmdir(output)) {
        errorText = QStringLiteral("The output directory %1 is no longer empty.").arg(output);
        return false;
    }
    if (!QDir().rename(staging.path(), output)) {
        if (replacesEmptyDirectory)
            QDir().mkdir(output);
        errorText = QStringLiteral("Failed to move the repository into %1").arg(output);
        return false;
    }
    staging.setAutoRemove(false);
    return true;
}

} // namespace

bool publishRepository(const PublishRequest &request, PublishResult &result, QString &errorText,
    const ProgressCallback &progress)
{
    result = PublishResult();
    if (request.payloadDirectories.isEmpty()) {
        errorText = QStringLiteral("No payload directory was given.");
        return false;
    }
    const QString output = cleanAbsolutePath(request.outputDirectory);
    const QFileInfo outputInfo(output);
    if (isLinkOrJunction(outputInfo)
        || (outputInfo.exists()
            && (!outputInfo.isDir()
                || !QDir(output).isEmpty(
                    QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)))) {
        errorText
            = QStringLiteral("%1 already holds something: publishing writes a new repository and leaves "
                             "whatever is there alone.")
                  .arg(output);
        return false;
    }
    QByteArray key;
    if (!request.signingKeyPath.isEmpty() && !readSigningKey(request.signingKeyPath, key, errorText))
        return false;
    QList<Payload> payloads;
    if (!readPayloads(request, output, payloads, errorText))
        return false;

    const QString parent = outputInfo.absolutePath();
    if (!QDir().mkpath(parent)) {
        errorText = QStringLiteral("Failed to create %1").arg(parent);
        return false;
    }
    // Hidden and beside the output: the final rename stays on one file system, and a power cut leaves
    // a stray hidden directory rather than a repository that looks complete.
    QTemporaryDir staging(parent + QStringLiteral("/.vexa-publish-XXXXXX"));
    if (!staging.isValid()) {
        errorText = QStringLiteral("Failed to create a working directory in %1").arg(parent);
        return false;
    }
    const QString repository = staging.path();
    for (Payload &payload : payloads) {
        PublishedPackage published;
        if (!buildPayload(payload, repository, request.threadCount, published, errorText, progress))
            return false;
        result.packages.append(published);
    }
    if (!writeDocuments(payloads, repository, request.packageIndex, result.documents, errorText))
        return false;
    if (!key.isEmpty()) {
        for (const QString &document : std::as_const(result.documents)) {
            if (!writeDocumentSignature(repository + QLatin1Char('/') + document, key, errorText))
                return false;
            result.signatures.append(signatureFilePath(document));
        }
    }

    LoadedCatalog loaded;
    QString loadError;
    if (!loadCatalog(repository, loaded, loadError)) {
        errorText = QStringLiteral("The published repository does not load:\n%1").arg(loadError);
        return false;
    }
    if (!moveIntoPlace(staging, output, errorText))
        return false;
    result.repositoryDirectory = output;
    return true;
}

} // namespace vexa
