#include "transfer/HashFrontier.h"

#include <algorithm>

ULONGLONG GaplessEnd(StoredPiece *spans, int count)
{
    std::sort(spans, spans + count, [](const StoredPiece &a, const StoredPiece &b) { return a.first < b.first; });
    ULONGLONG end = 0;
    for (int i = 0; i < count && spans[i].first <= end; ++i) {
        if (spans[i].end > end)
            end = spans[i].end;
    }
    return end;
}
