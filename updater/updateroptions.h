#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace vexa {

// What the installer asked the helper to do, as read from its command line.
struct UpdaterOptions
{
    QString installDirectory;
    QString archivePath;
    QString relaunchExecutable;
    // 0 when none was given or the text was not a number: there is nothing to wait for.
    qint64 waitProcessId = 0;
    // The installer's own launch arguments, with "--skip-self-update" in front unless already there.
    QStringList relaunchArguments;

    bool isComplete() const;
};

// Description, the help option and the five options. There is no version option.
void configureUpdaterParser(QCommandLineParser &parser);
// Reads the options from a parser that has processed the arguments.
UpdaterOptions readUpdaterOptions(const QCommandLineParser &parser);

} // namespace vexa
