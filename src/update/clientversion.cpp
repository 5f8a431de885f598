#include "update/clientversion.h"

#include <QVersionNumber>

namespace vexa {

int compareClientVersions(const QString &a, const QString &b)
{
    const QString left = a.trimmed();
    const QString right = b.trimmed();
    const QVersionNumber leftNumber = QVersionNumber::fromString(left);
    const QVersionNumber rightNumber = QVersionNumber::fromString(right);
    if (leftNumber.isNull() || rightNumber.isNull())
        return left.compare(right, Qt::CaseInsensitive);
    // QVersionNumber already ranks a version below every longer one it is a prefix of.
    return QVersionNumber::compare(leftNumber, rightNumber);
}

} // namespace vexa
