#include "platform/failurereport.h"

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cstdio>
#endif

namespace vexa {

void showFailureReport(const QString &caption, const QString &text)
{
#ifdef Q_OS_WIN
    MessageBoxW(nullptr, reinterpret_cast<const wchar_t *>(text.utf16()),
        reinterpret_cast<const wchar_t *>(caption.utf16()), MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
#else
    std::fprintf(stderr, "%s\n%s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
    std::fflush(stderr);
#endif
}

} // namespace vexa
