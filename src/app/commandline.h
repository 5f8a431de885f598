#pragma once

#include "catalog/catalogsourceoptions.h"
#include "release/updatecommandline.h"

#include <QString>
#include <QStringList>

class QCommandLineParser;

namespace vexa {

inline const QString ClientUpdateUrlOption = QStringLiteral("client-update-url");

// What the installer's command line asked for. Values are kept as given; an option that was not
// given reads as empty (or false for the flag).
struct StartupOptions
{
    QString repositoryDir;
    QString catalogUrl;
    QString clientUpdateUrl;
    bool clientUpdateUrlGiven = false;
    bool skipSelfUpdate = false;
};

// Description, the help option and the four options, in the order --help lists them. There is no
// version option and no positional argument.
void configureCommandLineParser(QCommandLineParser &parser);
// Reads the options from a parser that has processed the arguments.
StartupOptions readStartupOptions(const QCommandLineParser &parser);
// True when the parser alone answers the command line (`arguments`, the program name first): help was
// asked for, or an option is wrong. Neither needs a display, so both are answered before the GUI
// application exists. Qt's own GUI options (-platform, -style, ...) are removed by the GUI application
// before the parser reads the rest; with one of them given, or with --help-all (which lists them),
// the answer waits for the GUI application.
bool answeredWithoutDisplay(QCommandLineParser &parser, const QStringList &arguments);
// The command line's catalog source (see catalogSourceString in catalog/catalogsourceoptions.h).
QString catalogSourceString(const StartupOptions &options);

} // namespace vexa
