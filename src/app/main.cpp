#include "app/appidentity.h"
#include "app/commandline.h"
#include "app/startupsequence.h"
#include "app/startupwindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSplashScreen>

int main(int argc, char *argv[])
{
    vexa::selectQuickControlsStyle();
    QApplication application(argc, argv);
    vexa::applyApplicationIdentity();

    QCommandLineParser parser;
    vexa::configureCommandLineParser(parser);
    // Prints help or an option error itself and ends the process.
    parser.process(application);

    const std::unique_ptr<QSplashScreen> splash = vexa::createStartupWindow();
    return vexa::runStartupSequence(
        application, *splash, vexa::readStartupOptions(parser), vexa::presentCriticalMessage);
}
