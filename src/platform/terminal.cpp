#include "platform/terminal.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace vexa {

namespace {

int descriptorOf(StandardStream stream)
{
    switch (stream) {
    case StandardStream::Input:
        return 0;
    case StandardStream::Output:
        return 1;
    case StandardStream::Error:
        break;
    }
    return 2;
}

} // namespace

bool isTerminal(StandardStream stream)
{
#ifdef Q_OS_WIN
    return _isatty(descriptorOf(stream)) != 0;
#else
    return isatty(descriptorOf(stream)) == 1;
#endif
}

} // namespace vexa
