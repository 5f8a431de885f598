#include "app/appidentity.h"

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
    QCoreApplication::setApplicationVersion(ApplicationVersion);
}

} // namespace vexa
