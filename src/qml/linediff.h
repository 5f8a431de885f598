#pragma once

#include <QList>
#include <QStringList>

namespace vexa {

// Lines [oldStart, oldStart + oldCount) of a text become lines [newStart, newStart + newCount) of its
// next version.
struct LineHunk
{
    qsizetype oldStart = 0;
    qsizetype oldCount = 0;
    qsizetype newStart = 0;
    qsizetype newCount = 0;
};

// The fewest lines to remove from `before` and insert into it to make `after` (Myers' difference
// algorithm), as the hunks between the lines both keep, in order. Beyond `maxEdits` removed and
// inserted lines the search stops and the whole text is one hunk.
QList<LineHunk> lineHunks(const QStringList &before, const QStringList &after, qsizetype maxEdits = 200);

} // namespace vexa
