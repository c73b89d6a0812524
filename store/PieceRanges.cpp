#include "store/PieceRanges.h"

#include <stdio.h>

namespace {

const char *SkipBlanks(const char *p)
{
    while (*p == ' ' || *p == '\t')
        ++p;
    return p;
}

// Unsigned decimal digits at p, blanks around them allowed; null when there
// are none or the number does not fit in 64 bits.
const char *ReadNumber(const char *p, ULONGLONG *value)
{
    p = SkipBlanks(p);
    const char *digits = p;
    *value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        unsigned digit = *p - '0';
        if (*value > (~0ull - digit) / 10)
            return nullptr;
        *value = *value * 10 + digit;
    }
    return p == digits ? nullptr : SkipBlanks(p);
}

}  // namespace

std::string PieceRangesText(const StoredPiece *pieces, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        char range[48];
        snprintf(range, sizeof(range), "%s%llu-%llu", i ? "," : "", pieces[i].first, pieces[i].end - 1);
        text += range;
    }
    return text;
}

int ReadPieceRanges(const char *text, LONG segment, StoredPiece *out, int capacity)
{
    const char *p = SkipBlanks(text);
    if (!*p)
        return 0;
    int count = 0;
    for (;;) {
        ULONGLONG first, last;
        p = ReadNumber(p, &first);
        if (!p || *p != '-' || !(p = ReadNumber(p + 1, &last)))
            return -1;
        // last + 1 is the range's end: the greatest offset has none.
        if (last < first || last == ~0ull || count == capacity || (count > 0 && first < out[count - 1].end))
            return -1;
        out[count++] = StoredPiece{segment, first, last + 1};
        if (!*p)
            return count;
        if (*p != ',')
            return -1;
        ++p;
    }
}
