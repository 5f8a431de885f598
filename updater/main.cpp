#include "platform/failurereport.h"
#include "release/releaseidentity.h"
#include "updater/clientupdateapply.h"
#include "updater/updateroptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(vexa::OrganizationName);
    QCoreApplication::setApplicationName(QStringLiteral("Vexa Updater"));

    QCommandLineParser parser;
    vexa::configureUpdaterParser(parser);
    // Prints help or an option error itself and ends the process.
    parser.process(application);

    QString errorText;
    if (vexa::applyClientUpdate(vexa::readUpdaterOptions(parser), errorText))
        return 0;
    vexa::showFailureReport(vexa::UpdateFailedCaption, errorText);
    return 1;
}
