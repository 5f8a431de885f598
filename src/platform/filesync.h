#pragma once

#include <QFileDevice>

namespace vexa {

// Waits until the bytes written to the open file are on the disk, so that a record naming them can
// be trusted after a power cut. The file must be unbuffered or flushed. False when the system says
// the bytes did not get there.
bool syncFileData(QFileDevice &file);

} // namespace vexa
