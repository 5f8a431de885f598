#include "platform/userenvironment.h"

#include "platform/savefile.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <QSettings>

#include <qt_windows.h>
#else
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#endif

namespace vexa {

namespace {

const QString RootVariableName = QStringLiteral("VEXA_ROOT");

QString updateFailedMessage()
{
    return QStringLiteral("Failed to update the VEXA_ROOT environment variable.");
}

#ifdef Q_OS_WIN

const QString EnvironmentKey = QStringLiteral("HKEY_CURRENT_USER\\Environment");

// Running programs (Explorer above all) re-read the user environment only when told to.
void broadcastEnvironmentChange()
{
    SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
        SMTO_ABORTIFHUNG, 5000, nullptr);
}

bool writeRegistryValue(const QString *value, QString &errorText)
{
    QSettings environment(EnvironmentKey, QSettings::NativeFormat);
    if (value)
        environment.setValue(RootVariableName, *value);
    else
        environment.remove(RootVariableName);
    environment.sync();
    if (environment.status() != QSettings::NoError) {
        errorText = updateFailedMessage();
        return false;
    }
    broadcastEnvironmentChange();
    return true;
}

#endif

} // namespace

QString userEnvironmentFilePath()
{
#ifdef Q_OS_WIN
    return {};
#else
    const QString configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (configHome.isEmpty())
        return {};
    return configHome + QStringLiteral("/environment.d/60-vexa-root.conf");
#endif
}

bool setUserRootVariable(const QString &root, QString &errorText)
{
    const QString value = QDir::toNativeSeparators(root);
    if (value.isEmpty()) {
        errorText = updateFailedMessage();
        return false;
    }
#ifdef Q_OS_WIN
    return writeRegistryValue(&value, errorText);
#else
    // A line break would smuggle further assignments into the file; such a root cannot be published.
    for (const QChar c : value) {
        if (c.category() == QChar::Other_Control) {
            errorText = updateFailedMessage();
            return false;
        }
    }
    const QString path = userEnvironmentFilePath();
    if (path.isEmpty() || !QDir().mkpath(QFileInfo(path).absolutePath())) {
        errorText = updateFailedMessage();
        return false;
    }
    // Written whole so a session starting meanwhile, or a full disk, never leaves half a line.
    const QByteArray line = (RootVariableName + QLatin1Char('=') + value + QLatin1Char('\n')).toUtf8();
    if (saveFileWhole(path, line) != SaveResult::Saved) {
        errorText = updateFailedMessage();
        return false;
    }
    return true;
#endif
}

bool clearUserRootVariable(QString &errorText)
{
#ifdef Q_OS_WIN
    return writeRegistryValue(nullptr, errorText);
#else
    const QString path = userEnvironmentFilePath();
    if (path.isEmpty())
        return true;
    QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!QFile::remove(path)) {
        errorText = updateFailedMessage();
        return false;
    }
    return true;
#endif
}

} // namespace vexa
