#pragma once

#include "engine/applyprogress.h"

#include <QString>

#include <functional>
#include <utility>

namespace vexa {

// A progress callback that hands each non-empty line of the events to `lineSink`, for tests that check
// the lines an apply writes.
inline ApplyProgressCallback progressLines(std::function<void(const QString &line)> lineSink)
{
    if (!lineSink)
        return {};
    return [lineSink = std::move(lineSink)](const ApplyProgress &event) {
        const QString line = applyProgressLine(event);
        if (!line.isEmpty())
            lineSink(line);
    };
}

} // namespace vexa
