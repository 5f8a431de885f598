// state.json as inspection reads it, and the same bytes as the apply's in-progress record, in a root
// that holds the files of one package of a small catalog.
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

const char Catalog[] = R"({"packages": [
  {"package_id": "com.company.vexa.zlib", "display_name": "zlib", "product": "zlib", "version": "1.3",
   "toolchain": "t", "internal_version_code": 2, "install_subdir": "zlib",
   "marker_relative_path": "zlib/include/zlib.h", "owned_paths": ["zlib"]},
  {"package_id": "com.company.vexa.cmake_support", "display_name": "Support", "product": "s",
   "version": "1", "toolchain": "t", "internal_version_code": 4,
   "marker_relative_path": "cmake/toolchains/vexa.cmake", "dependencies": "com.company.vexa.zlib"}
]})";

bool writeFile(const QString &path, const QByteArray &content)
{
    QDir().mkpath(path.section(QLatin1Char('/'), 0, -2));
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir directory;
    static PackageCatalog catalog;
    static const bool ready = [] {
        QString error;
        return directory.isValid() && loadFromJson(QByteArray(Catalog), catalog, error)
            && writeFile(directory.filePath(QStringLiteral("zlib/include/zlib.h")), "x");
    }();
    if (!ready)
        return 0;
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString root = directory.path();
    const QString inProgress = root + QLatin1Char('/') + PackagesInProgressRelativePath;
    writeFile(root + QLatin1Char('/') + StateFileRelativePath, content);
    readStateRecords(root + QLatin1Char('/') + StateFileRelativePath);
    inspectRoot(catalog, root);
    writeFile(inProgress, content);
    inspectRoot(catalog, root);
    QFile::remove(inProgress);
    return 0;
}
