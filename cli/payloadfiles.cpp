#include "cli/payloadfiles.h"

#include "archive/pathcontainment.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace vexa {

namespace {

// Names Windows cannot hold, or reads as another name: its reserved characters, and a trailing dot
// or blank, which it drops ("a." is "a").
bool isPortableName(const QString &name)
{
    static const QString reserved = QStringLiteral("\\:*?\"<>|");
    for (const QChar c : name) {
        if (reserved.contains(c))
            return false;
    }
    return !name.endsWith(QLatin1Char('.')) && !name.endsWith(QLatin1Char(' '));
}

QString entryRefusal(const QString &relativePath, const QString &payloadDirectory, const QString &reason)
{
    return unsafePathMessage(QStringLiteral("payload entry"), relativePath, payloadDirectory, reason);
}

bool listDirectory(const QString &payloadDirectory, const QString &relativeDirectory,
    QList<PayloadEntry> &entries, QString &errorText)
{
    const QDir directory(relativeDirectory.isEmpty()
            ? payloadDirectory
            : payloadDirectory + QLatin1Char('/') + relativeDirectory);
    QFileInfoList infos = directory.entryInfoList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::NoSort);
    // Sorted, so that the same tree gives the same list, and the same refusal, on every file system.
    std::sort(infos.begin(), infos.end(),
        [](const QFileInfo &a, const QFileInfo &b) { return a.fileName() < b.fileName(); });
    for (const QFileInfo &info : std::as_const(infos)) {
        const QString name = info.fileName();
        if (name.startsWith(QLatin1Char('.')) || info.isHidden())
            continue;
        if (relativeDirectory.isEmpty() && name.compare(PackageFileName, Qt::CaseInsensitive) == 0)
            continue;
        const QString relativePath
            = relativeDirectory.isEmpty() ? name : relativeDirectory + QLatin1Char('/') + name;
        const PathPlacement placement = pathPlacement(relativePath);
        if (placement != PathPlacement::Inside || !isPortableName(name)) {
            errorText = entryRefusal(relativePath, payloadDirectory,
                placementReason(placement == PathPlacement::Inside ? PathPlacement::NotAName : placement,
                    QStringLiteral("the install root")));
            return false;
        }
        if (isLinkOrJunction(info)) {
            errorText = entryRefusal(relativePath, payloadDirectory,
                QStringLiteral("it is a link, which publishing does not follow"));
            return false;
        }
        if (!info.isDir() && !info.isFile()) {
            errorText = entryRefusal(
                relativePath, payloadDirectory, QStringLiteral("it is neither a file nor a directory"));
            return false;
        }
        entries.append({ relativePath, info.absoluteFilePath(), info.isDir() });
        if (info.isDir() && !listDirectory(payloadDirectory, relativePath, entries, errorText))
            return false;
    }
    return true;
}

} // namespace

bool listPayloadEntries(const QString &payloadDirectory, QList<PayloadEntry> &entries, QString &errorText)
{
    entries.clear();
    return listDirectory(payloadDirectory, QString(), entries, errorText);
}

} // namespace vexa
