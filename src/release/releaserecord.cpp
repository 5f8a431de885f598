#include "release/releaserecord.h"

#include "archive/pathcontainment.h"
#include "archive/printabletext.h"
#include "archive/zipdirectory.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace vexa {

namespace {

// Far more than any release's record, yet a bound for a damaged or planted file.
constexpr qint64 MaxRecordBytes = 1024 * 1024;
// How many foreign entries the message names.
constexpr int NamedForeignEntries = 3;

QString foreignEntriesMessage(const QString &programDirectory, const QStringList &foreign)
{
    QString names = printableNames(foreign.mid(0, NamedForeignEntries));
    if (foreign.size() > NamedForeignEntries)
        names += QStringLiteral(" and %1 more").arg(foreign.size() - NamedForeignEntries);
    return QStringLiteral("The client update was skipped: the program directory %1 also holds %2, which no "
                          "release of the installer placed there. Move them elsewhere to update.")
        .arg(programDirectory, names);
}

} // namespace

bool readReleaseEntries(const QString &programDirectory, QStringList &entries)
{
    QFile file(QDir(programDirectory).filePath(ReleaseRecordFileName));
    if (file.size() > MaxRecordBytes || !file.open(QIODevice::ReadOnly))
        return false;
    const QJsonObject record = QJsonDocument::fromJson(file.readAll()).object();
    const QJsonValue recorded = record.value(QLatin1String("entries"));
    if (record.value(QLatin1String("schema_version")).toInt(1) != 1 || !recorded.isArray())
        return false;
    entries.clear();
    const QJsonArray array = recorded.toArray();
    for (const QJsonValue &value : array) {
        if (!value.toString().isEmpty())
            entries.append(value.toString());
    }
    return true;
}

bool releaseEntriesOfArchive(const QString &archivePath, QStringList &entries, QString &errorText)
{
    QList<ZipDirectoryEntry> directory;
    if (!readZipDirectory(archivePath, directory)) {
        errorText
            = QStringLiteral("Client update archive %1 is not a readable zip archive.").arg(archivePath);
        return false;
    }
    QSet<QString> names;
    for (const ZipDirectoryEntry &entry : std::as_const(directory)) {
        if (pathPlacement(entry.storedPath) != PathPlacement::Inside)
            continue;
        const QString name = cleanRelativePath(entry.storedPath).section(QLatin1Char('/'), 0, 0);
        if (!name.startsWith(QLatin1Char('.')))
            names.insert(name);
    }
    entries = QStringList(names.cbegin(), names.cend());
    entries.sort();
    return true;
}

QStringList foreignEntries(
    const QString &programDirectory, const QStringList &shippedEntries, const QStringList &programNames)
{
    QStringList recorded;
    if (!readReleaseEntries(programDirectory, recorded))
        recorded = programNames;
    QSet<QString> placedByReleases(recorded.cbegin(), recorded.cend());
    placedByReleases.unite(QSet<QString>(shippedEntries.cbegin(), shippedEntries.cend()));
    QStringList foreign;
    const QStringList present
        = QDir(programDirectory)
              .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : present) {
        if (!placedByReleases.contains(name))
            foreign.append(name);
    }
    return foreign;
}

bool checkProgramDirectoryReplaceable(const QString &programDirectory, const QString &archivePath,
    const QStringList &programNames, QString &errorText)
{
    QStringList shipped;
    if (!releaseEntriesOfArchive(archivePath, shipped, errorText))
        return false;
    const QStringList foreign = foreignEntries(programDirectory, shipped, programNames);
    if (foreign.isEmpty())
        return true;
    errorText = foreignEntriesMessage(programDirectory, foreign);
    return false;
}

} // namespace vexa
