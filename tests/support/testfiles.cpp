#include "support/testfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QTextStream>

namespace vexa {

bool writeTestFile(const QString &path, const QByteArray &data)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QByteArray> treeSnapshot(const QString &directory)
{
    QMap<QString, QByteArray> tree;
    const QDir base(directory);
    QDirIterator it(directory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = base.relativeFilePath(info.filePath());
        if (info.isSymLink())
            tree.insert(relative, "-> " + QFile::encodeName(info.symLinkTarget()));
        else if (info.isDir())
            tree.insert(relative, "<dir>");
        else
            tree.insert(relative, readTestFile(info.filePath()));
    }
    return tree;
}

QByteArray seededRandomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char &c : bytes)
        c = char(generator.bounded(256));
    return bytes;
}

QString sha256HexOf(const QByteArray &data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

bool matchesReferenceFile(const QString &referencePath, const QByteArray &actual, const QString &refreshHint)
{
    if (qEnvironmentVariableIntValue("VEXA_UPDATE_REFERENCES") == 1) {
        if (writeTestFile(referencePath, actual))
            return true;
        qWarning("cannot write reference %s", qPrintable(referencePath));
        return false;
    }
    const QByteArray expected = readTestFile(referencePath);
    if (expected == actual)
        return true;

    QTextStream err(stderr);
    const QString name = QFileInfo(referencePath).fileName();
    QTemporaryFile actualFile;
    bool diffShown = false;
    if (actualFile.open() && actualFile.write(actual) == actual.size() && actualFile.flush()) {
        QProcess diff;
        diff.setProcessChannelMode(QProcess::MergedChannels);
        diff.start(QStringLiteral("diff"),
            { QStringLiteral("-u"), QStringLiteral("--label"), QStringLiteral("expected/") + name,
                QStringLiteral("--label"), QStringLiteral("actual/") + name, referencePath,
                actualFile.fileName() });
        if (diff.waitForFinished(10000)) {
            err << QString::fromUtf8(diff.readAll());
            diffShown = true;
        }
    }
    if (!diffShown) {
        err << "expected (" << referencePath << "):\n"
            << QString::fromUtf8(expected) << "\nactual:\n"
            << QString::fromUtf8(actual) << '\n';
    }
    err << "Reference " << name << " differs (" << refreshHint << ")\n";
    return false;
}

} // namespace vexa
