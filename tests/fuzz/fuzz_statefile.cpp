// state.json as inspection reads it, and the same bytes as the apply's in-progress record.
#include "engine/manifestfiles.h"
#include "engine/packagesinprogress.h"
#include "engine/rootinspection.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

using namespace vexa;

namespace {

bool writeFile(const QString &path, const char *data, size_t size)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)
        && file.write(data, qint64(size)) == qint64(size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir root;
    static const bool ready = root.isValid() && QDir().mkpath(root.filePath(ManifestDirectoryPath));
    if (!ready)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data);
    const QString statePath = root.filePath(StateFileRelativePath);
    if (writeFile(statePath, bytes, size))
        readStateRecords(statePath);
    if (writeFile(root.filePath(PackagesInProgressRelativePath), bytes, size))
        readPackagesInProgress(root.path());
    return 0;
}
