#include "cli/commandtable.h"
#include "cli/vexacommandline.h"

#include <QCoreApplication>

int main(int argc, char *argv[])
{
    // A core application only: vexa runs on servers without any display libraries.
    QCoreApplication application(argc, argv);
    return vexa::runVexa(QCoreApplication::arguments(), vexa::vexaCommands());
}
