#include "controller/cmakeguidance.h"

#include <QJsonValue>
#include <QStringList>

#include <iterator>

namespace vexa {

namespace {

struct ProductGuidance
{
    const char *product;
    const char *text;
};

// Looked up in this order; the first product equal to the package's (case-sensitive) wins.
const ProductGuidance BuiltInGuidance[] = {
    { "Qt",
        "Qt 6\n\nQt is usually consumed through Qt module targets.\n\nTypical CMake:\n"
        "find_package(Qt6 REQUIRED COMPONENTS Core Widgets)\n"
        "target_link_libraries(my_target PRIVATE Qt6::Core Qt6::Widgets)\n\n"
        "Add the Qt components your target actually uses." },
    { "OpenCV",
        "OpenCV\n\nOpenCV is resolved through OpenCVConfig.cmake.\n\nTypical CMake:\n"
        "find_package(OpenCV REQUIRED)\n"
        "target_link_libraries(my_target PRIVATE ${OpenCV_LIBS})\n\n"
        "If your project already uses imported OpenCV targets, keep using those." },
    { "OpenSSL",
        "OpenSSL\n\nVexa ships OpenSSL with exported CMake package files.\n\nTypical CMake:\n"
        "find_package(OpenSSL CONFIG REQUIRED)\n"
        "target_link_libraries(my_target PRIVATE OpenSSL::SSL OpenSSL::Crypto)\n\n"
        "When you use the Vexa toolchain, it sets OpenSSL_DIR for the packaged SDK automatically." },
    { "KF6SyntaxHighlighting",
        "KF6 Syntax Highlighting\n\nKF6 Syntax Highlighting exports a CMake package target.\n\n"
        "Typical CMake:\n"
        "find_package(KF6SyntaxHighlighting CONFIG REQUIRED)\n"
        "target_link_libraries(my_target PRIVATE KF6::SyntaxHighlighting)" },
    { "OnnxRuntime",
        "OnnxRuntime\n\nVexa ships OnnxRuntime with a generated CMake package config.\n\nTypical CMake:\n"
        "find_package(OnnxRuntime CONFIG REQUIRED)\n"
        "target_link_libraries(my_target PRIVATE OnnxRuntime::OnnxRuntime)\n\n"
        "Select exactly one OnnxRuntime variant in vexa.lock.json. CPU, CUDA, and OpenVINO are mutually "
        "exclusive." },
    { "nlohmann_json",
        "nlohmann_json\n\nnlohmann_json is a header-only library shipped with exported CMake package "
        "files.\n\n"
        "Typical CMake:\n"
        "find_package(nlohmann_json CONFIG REQUIRED)\n"
        "target_link_libraries(my_target PRIVATE nlohmann_json::nlohmann_json)\n\n"
        "When you use the Vexa toolchain, it resolves the packaged nlohmann_json config automatically." },
    { "CMake",
        "CMake Tooling\n\nCMake is a build tool, not a library you link to a target.\n\n"
        "Use the Vexa toolchain or the bundled CMake executable to configure the project." },
    { "Ninja",
        "Ninja Tooling\n\nNinja is a build tool, not a library you link to a target.\n\n"
        "Use it as the CMake generator or CMAKE_MAKE_PROGRAM, not in target_link_libraries()." },
    { "CUDA",
        "CUDA Toolkit\n\nCUDA is resolved through CMake's built-in CUDAToolkit package.\n\nTypical CMake:\n"
        "find_package(CUDAToolkit REQUIRED)\n"
        "target_link_libraries(my_target PRIVATE CUDA::cudart)\n\n"
        "When you use the Vexa toolchain, it sets CUDAToolkit_ROOT and CMAKE_CUDA_COMPILER for the packaged "
        "toolkit automatically." },
};

QString supportPackageHelpText()
{
    return QStringLiteral("Vexa CMake Support\n\nVexa CMake Support is not linked to a target.\n\n"
                          "It provides the Vexa toolchain and package resolution logic used by your CMake "
                          "preset.");
}

QString genericHelpText()
{
    return QStringLiteral("This package does not have a custom CMake hint yet.\n\n"
                          "Use find_package() for the package's exported config and link the imported target "
                          "it provides.");
}

QString noPackageSelectedHelpText()
{
    return QStringLiteral("Select a package card to see CMake usage guidance here.");
}

} // namespace

QString catalogUsageText(const PackageDefinition &package)
{
    // A missing or non-string value reads as empty, like every other lenient catalog read.
    const QString summary = package.usage.value(QLatin1String("summary")).toString().trimmed();
    const QString snippet = package.usage.value(QLatin1String("cmake_snippet")).toString().trimmed();
    const QString notes = package.usage.value(QLatin1String("notes")).toString().trimmed();

    QStringList parts;
    if (!summary.isEmpty())
        parts.append(summary);
    if (!snippet.isEmpty())
        parts.append(QStringLiteral("Typical CMake:\n%1").arg(snippet));
    if (!notes.isEmpty())
        parts.append(notes);
    return parts.join(QLatin1String("\n\n"));
}

QString packageHelpText(const PackageDefinition &package)
{
    const QString fromCatalog = catalogUsageText(package);
    if (!fromCatalog.isEmpty())
        return fromCatalog;
    for (const ProductGuidance &entry : BuiltInGuidance) {
        if (package.product == QLatin1String(entry.product))
            return QString::fromUtf8(entry.text);
    }
    if (isSupportPackage(package.package_id))
        return supportPackageHelpText();
    return genericHelpText();
}

QString guidancePackageId(
    const PackageCatalog &catalog, const QString &selectedPackageId, const QSet<QString> &target)
{
    QString packageId = selectedPackageId;
    if ((packageId.isEmpty() || !catalog.contains(packageId)) && !target.isEmpty()) {
        // Dependencies come first, so the last id is the package the selection was built around.
        const QStringList order = catalog.topologicalOrder(target);
        packageId = order.isEmpty() ? QString() : order.constLast();
    }
    return !packageId.isEmpty() && catalog.contains(packageId) ? packageId : QString();
}

QString guidanceText(const PackageCatalog &catalog, const QString &packageId)
{
    const PackageDefinition *package = packageId.isEmpty() ? nullptr : catalog.findPackage(packageId);
    return package ? packageHelpText(*package) : noPackageSelectedHelpText();
}

} // namespace vexa
