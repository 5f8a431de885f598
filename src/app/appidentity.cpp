#include "app/appidentity.h"

#include "release/releaseidentity.h"

#include <QCoreApplication>
#include <QQuickStyle>

namespace vexa {

void selectQuickControlsStyle()
{
    QQuickStyle::setStyle(QuickControlsStyleName);
}

void applyApplicationIdentity()
{
    QCoreApplication::setOrganizationName(OrganizationName);
    QCoreApplication::setApplicationName(ApplicationName);
    QCoreApplication::setApplicationVersion(releaseVersion());
}

} // namespace vexa
