#include "app/appidentity.h"
#include "cli/commandtable.h"
#include "cli/vexacommandline.h"
#include "release/releaseidentity.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // A core application only: vexa runs on servers without any display libraries.
    QCoreApplication application(argc, argv);
    // The installer's name, so that the archive cache (under the application's cache location) is the
    // one the installer fills: archives fetched by either are found by the other.
    QCoreApplication::setOrganizationName(vexa::OrganizationName);
    QCoreApplication::setApplicationName(vexa::ApplicationName);
    return vexa::runVexa(QCoreApplication::arguments(), vexa::vexaCommands());
}
