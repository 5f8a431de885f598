#include "app/appidentity.h"
#include "app/commandline.h"
#include "app/startupsequence.h"
#include "app/startupwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSplashScreen>
#include <QStringList>

int main(int argc, char *argv[])
{
    vexa::selectQuickControlsStyle();

    QCommandLineParser parser;
    vexa::configureCommandLineParser(parser);
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (vexa::answeredWithoutDisplay(parser, arguments)) {
        // Help and option errors need no display, so "--help" works over ssh: a core application is
        // enough for the parser to print them and end the process.
        QCoreApplication commandLineOnly(argc, argv);
        vexa::applyApplicationIdentity();
        parser.process(commandLineOnly);
    }

    QApplication application(argc, argv);
    vexa::applyApplicationIdentity();
    // Prints help or an option error itself and ends the process.
    parser.process(application);

    const std::unique_ptr<QSplashScreen> splash = vexa::createStartupWindow();
    return vexa::runStartupSequence(
        application, *splash, vexa::readStartupOptions(parser), vexa::presentCriticalMessage);
}
