// The PIECES<n> value of a resume record, read and written: a value read
// back is exactly what was written, and anything that is not ascending,
// apart, well-formed ranges is refused as a whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/PieceRanges.h"

namespace {

TEST(PieceRanges, AreReadAsWrittenAndRefusedWholeWhenWrong)
{
    const ULONGLONG kTop = ~0ull;
    struct Case {
        const char *text;
        int count;  // -1: refused
        std::vector<std::pair<ULONGLONG, ULONGLONG>> ranges;  // [first, end)
    };
    const Case cases[] = {
        {"", 0, {}},
        {"  ", 0, {}},
        {"0-0", 1, {{0, 1}}},
        {"10-19,20-29", 2, {{10, 20}, {20, 30}}},            // touching is apart
        {" 5 - 9 , 100-4294967395", 2, {{5, 10}, {100, 4294967396ull}}},
        {"0-18446744073709551614", 1, {{0, kTop}}},            // the greatest end there is
        {"0-18446744073709551615", -1, {}},                     // its end would not fit
        {"0-18446744073709551616", -1, {}},                     // past 64 bits
        {"10-9", -1, {}},                                        // last before first
        {"20-29,10-19", -1, {}},                                 // out of order
        {"10-29,20-39", -1, {}},                                 // overlapping
        {"10-19,", -1, {}},
        {",10-19", -1, {}},
        {"10-19;20-29", -1, {}},
        {"10", -1, {}},
        {"10-", -1, {}},
        {"-10", -1, {}},
        {"+1-2", -1, {}},
        {"1-2 3-4", -1, {}},
        {"0x10-0x20", -1, {}},
        {"1-2,3-4,5-6,7-8", -1, {}},                             // more than there is room for
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        StoredPiece pieces[3];
        int count = ReadPieceRanges(c.text, 2, pieces, 3);
        ASSERT_EQ(c.count, count);
        for (int k = 0; k < count; ++k) {
            EXPECT_EQ(2, pieces[k].segment);
            EXPECT_EQ(c.ranges[k].first, pieces[k].first);
            EXPECT_EQ(c.ranges[k].second, pieces[k].end);
        }
        if (count > 0) {
            // Written back, and read again, the same ranges.
            StoredPiece again[3];
            ASSERT_EQ(count, ReadPieceRanges(PieceRangesText(pieces, count).c_str(), 2, again, 3));
            for (int k = 0; k < count; ++k)
                EXPECT_EQ(pieces[k].end, again[k].end);
        }
    }
}

}  // namespace
