#pragma once

#include <QByteArray>
#include <QFile>

namespace vexa {

// Copies everything from the source's current position to its end into the target, both opened
// unbuffered. Where the system can move the bytes itself (copy_file_range on Linux) they never pass
// through this process; otherwise `buffer` carries them block by block. Nothing is synced to disk.
bool copyFileData(QFile &source, QFile &target, QByteArray &buffer);

} // namespace vexa
