#pragma once

#include <QString>

namespace vexa {

// A byte count as messages show it: "512 B" below one KiB, otherwise one decimal in the largest
// binary unit it reaches ("1.5 KiB", "3.2 GiB", up to TiB).
QString byteSizeText(qint64 bytes);

} // namespace vexa
