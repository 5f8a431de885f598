#pragma once

#include "controller/installercontroller.h"

#include <QtQml/qqml.h>

namespace vexa {

// Makes the installer controller a type the window's components can name, so that each takes
// `required property InstallerController installer` and the linter and the QML compiler see its
// members. Start-up creates the one controller; QML never does.
struct InstallerControllerType
{
    Q_GADGET
    QML_FOREIGN(vexa::InstallerController)
    QML_NAMED_ELEMENT(InstallerController)
    QML_UNCREATABLE("Start-up creates the installer controller.")
};

} // namespace vexa
