#include "engine/bytesize.h"

#include <iterator>

namespace vexa {

QString byteSizeText(qint64 bytes)
{
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    static const char *const units[] = { "KiB", "MiB", "GiB", "TiB" };
    double value = double(bytes) / 1024;
    int unit = 0;
    // Rounded first, so that 1023.96 KiB reads "1.0 MiB" rather than "1024.0 KiB".
    while (unit + 1 < int(std::size(units)) && qRound64(value * 10) >= 1024 * 10) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

} // namespace vexa
