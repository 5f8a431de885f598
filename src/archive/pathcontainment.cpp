#include "archive/pathcontainment.h"

#include "archive/printabletext.h"

#include <QDir>

namespace vexa {

namespace {

QString withForwardSlashes(const QString &path)
{
    QString result = path.trimmed();
    result.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return result;
}

bool isDriveQualified(const QString &path)
{
    return path.size() >= 2 && path.at(1) == QLatin1Char(':') && path.at(0).isLetter()
        && path.at(0).unicode() < 0x80;
}

bool onlyDotsAndBlanks(const QString &segment)
{
    for (const QChar c : segment) {
        if (c != QLatin1Char('.') && !c.isSpace())
            return false;
    }
    return true;
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 and the console names name devices in every directory, whatever
// extension follows, and Windows compares them without regard to case.
bool namesDevice(const QString &name)
{
    static const QStringList plainDevices { QStringLiteral("con"), QStringLiteral("prn"),
        QStringLiteral("aux"), QStringLiteral("nul"), QStringLiteral("conin$"), QStringLiteral("conout$") };
    const QString stem = name.section(QLatin1Char('.'), 0, 0).trimmed().toLower();
    if (plainDevices.contains(stem))
        return true;
    if (stem.size() != 4 || !(stem.startsWith(QLatin1String("com")) || stem.startsWith(QLatin1String("lpt"))))
        return false;
    const QChar number = stem.at(3);
    return (number >= QLatin1Char('0') && number <= QLatin1Char('9')) || number == QChar(0xb9)
        || number == QChar(0xb2) || number == QChar(0xb3);
}

bool isPlainFileName(const QString &name)
{
    static const QString refused = QStringLiteral("<>:\"/\\|?*");
    if (name.isEmpty() || name.size() > 255 || onlyDotsAndBlanks(name) || name.endsWith(QLatin1Char('.'))
        || name.back().isSpace() || namesDevice(name))
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || refused.contains(c))
            return false;
    }
    return true;
}

bool isBelow(const QString &path, const QString &base)
{
    const QString prefix = base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/');
    return path.size() > prefix.size() && path.startsWith(prefix);
}

} // namespace

PathPlacement pathPlacement(const QString &relativePath)
{
    const QString path = withForwardSlashes(relativePath);
    for (const QChar c : path) {
        // A NUL ends the name the system sees, and Windows refuses the other control characters.
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return PathPlacement::NotAName;
    }
    if (path.startsWith(QLatin1Char('/')) || isDriveQualified(path))
        return PathPlacement::Outside;
    // Past a drive letter, NTFS reads "a:b" as the stream "b" of the file "a".
    if (path.contains(QLatin1Char(':')))
        return PathPlacement::NotAName;

    int depth = 0;
    QString lastName;
    const QStringList segments = path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        if (segment == QLatin1String("..")) {
            if (--depth < 0)
                return PathPlacement::Outside;
        } else if (segment != QLatin1String(".")) {
            if (onlyDotsAndBlanks(segment))
                return PathPlacement::NotAName;
            ++depth;
        }
        lastName = segment;
    }
    if (depth == 0)
        return PathPlacement::Base;
    if (lastName == QLatin1String(".") || lastName == QLatin1String(".."))
        return PathPlacement::NotAName;
    return PathPlacement::Inside;
}

QString cleanRelativePath(const QString &relativePath)
{
    return QDir::cleanPath(withForwardSlashes(relativePath));
}

QString downloadFileName(const QString &path, const QString &fallback)
{
    // Not trimmed: a blank at either end is part of the name the system would be asked for.
    QString name = path;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    name = name.section(QLatin1Char('/'), -1);
    if (isPlainFileName(name))
        return name;
    QString plain = fallback;
    for (QChar &c : plain) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    if (!isPlainFileName(plain))
        plain.prepend(QLatin1Char('_'));
    return plain;
}

bool isLinkOrJunction(const QFileInfo &info)
{
    return info.isSymLink() || info.isJunction();
}

bool staysInsideThroughLinks(const QString &base, const QString &path)
{
    const QString canonicalBase = QFileInfo(base).canonicalFilePath();
    if (canonicalBase.isEmpty())
        return true; // no base on disk, so no link below it can lead anywhere either
    QString existing = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            return true;
        existing = parent;
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return canonical == canonicalBase || isBelow(canonical, canonicalBase);
}

QString installRootPlace(const QString &root)
{
    return QStringLiteral("the install root %1").arg(root);
}

QString repositoryPlace(const QString &repositoryBase)
{
    return QStringLiteral("the repository directory %1").arg(repositoryBase);
}

QString destinationPlace(const QString &directory)
{
    return QStringLiteral("the destination %1").arg(directory);
}

QString placementReason(PathPlacement placement, const QString &place)
{
    switch (placement) {
    case PathPlacement::Base:
        return QStringLiteral("it names %1 itself").arg(place);
    case PathPlacement::Outside:
        return QStringLiteral("it lies outside %1").arg(place);
    case PathPlacement::NotAName:
        return QStringLiteral("it is not a valid file name");
    case PathPlacement::Inside:
        break;
    }
    return QString();
}

QString throughLinkReason(const QString &place)
{
    return QStringLiteral("it leads through a link out of %1").arg(place);
}

QString unsafePathMessage(
    const QString &what, const QString &path, const QString &owner, const QString &reason)
{
    return QStringLiteral("Refusing unsafe %1 \"%2\" of %3: %4.")
        .arg(what, printableName(path), owner, reason);
}

} // namespace vexa
