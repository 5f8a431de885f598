#include "linediff.h"

#include <algorithm>
#include <vector>

namespace vexa {

QList<LineHunk> lineHunks(const QStringList &before, const QStringList &after, qsizetype maxEdits)
{
    // Lines equal at the start and at the end need no search.
    qsizetype head = 0;
    while (head < before.size() && head < after.size() && before.at(head) == after.at(head))
        ++head;
    qsizetype tail = 0;
    while (tail < before.size() - head && tail < after.size() - head
        && before.at(before.size() - 1 - tail) == after.at(after.size() - 1 - tail))
        ++tail;
    const qsizetype n = before.size() - head - tail;
    const qsizetype m = after.size() - head - tail;
    if (n == 0 && m == 0)
        return {};
    const LineHunk whole { head, n, head, m };
    if (n == 0 || m == 0)
        return { whole };

    // furthest[k + offset]: how far along `before` the edits so far reach on diagonal k (x - y = k);
    // one copy per edit count is kept to walk the path back.
    const qsizetype limit = std::min(n + m, maxEdits);
    const qsizetype offset = limit + 1;
    std::vector<qsizetype> furthest(2 * offset + 1, 0);
    std::vector<std::vector<qsizetype>> trace;
    const auto comesDown = [&](const std::vector<qsizetype> &reached, qsizetype k, qsizetype d) {
        return k == -d || (k != d && reached[k - 1 + offset] < reached[k + 1 + offset]);
    };
    qsizetype edits = -1;
    for (qsizetype d = 0; d <= limit && edits < 0; ++d) {
        trace.push_back(furthest);
        for (qsizetype k = -d; k <= d; k += 2) {
            qsizetype x = comesDown(furthest, k, d) ? furthest[k + 1 + offset] : furthest[k - 1 + offset] + 1;
            qsizetype y = x - k;
            while (x < n && y < m && before.at(head + x) == after.at(head + y)) {
                ++x;
                ++y;
            }
            furthest[k + offset] = x;
            if (x >= n && y >= m) {
                edits = d;
                break;
            }
        }
    }
    if (edits < 0)
        return { whole };

    // Walk back from the end, noting the runs of kept lines as (x, y, length).
    struct Run
    {
        qsizetype x, y, length;
    };
    std::vector<Run> kept { { n, m, 0 } };
    qsizetype x = n;
    qsizetype y = m;
    for (qsizetype d = edits; d > 0; --d) {
        const qsizetype k = x - y;
        const bool down = comesDown(trace[d], k, d);
        const qsizetype previousK = down ? k + 1 : k - 1;
        const qsizetype previousX = trace[d][previousK + offset];
        // The edit moves one line down (an inserted line) or across (a removed one); equal lines follow.
        const qsizetype afterEdit = down ? previousX : previousX + 1;
        if (x > afterEdit)
            kept.push_back({ afterEdit, afterEdit - k, x - afterEdit });
        x = previousX;
        y = previousX - previousK;
    }
    kept.push_back({ 0, 0, x });
    std::reverse(kept.begin(), kept.end());

    QList<LineHunk> hunks;
    for (size_t i = 0; i + 1 < kept.size(); ++i) {
        const qsizetype oldStart = kept[i].x + kept[i].length;
        const qsizetype newStart = kept[i].y + kept[i].length;
        const LineHunk hunk { head + oldStart, kept[i + 1].x - oldStart, head + newStart,
            kept[i + 1].y - newStart };
        if (hunk.oldCount > 0 || hunk.newCount > 0)
            hunks.append(hunk);
    }
    return hunks;
}

} // namespace vexa
