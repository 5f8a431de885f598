#include "support/peakmemory.h"

#include <QtGlobal>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace vexa {

long peakResidentKilobytes()
{
#ifdef Q_OS_UNIX
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#else
    return -1;
#endif
}

} // namespace vexa
