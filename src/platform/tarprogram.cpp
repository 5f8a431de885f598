#include "platform/tarprogram.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace vexa {

QString findTarProgram()
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("tar"));
    if (program.isEmpty())
        program = QStandardPaths::findExecutable(QStringLiteral("tar.exe"));
#ifdef Q_OS_WIN
    // Windows 10 and later ship bsdtar here even when System32 is missing from PATH.
    if (program.isEmpty()) {
        const QString systemTar = QStringLiteral("C:/Windows/System32/tar.exe");
        if (QFileInfo::exists(systemTar))
            program = systemTar;
    }
#endif
    return program;
}

} // namespace vexa
