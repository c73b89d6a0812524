// When a body that still arrives counts as stalled.
#include <gtest/gtest.h>

#include "netquill/SpeedFloor.h"

namespace {

// Windows of 30 s from the start; each step adds bytes at a time.
TEST(SpeedWindow, AWindowBelowTheFloorIsTooSlow)
{
    struct Step {
        DWORD at;
        size_t bytes;
        SpeedVerdict verdict;
        DWORD heldBefore;  // how long the reader held the piece before, not the server's
    };
    const DWORD kNearTheWrap = 0xFFFFF000u;
    struct Case {
        const char *name;
        DWORD start;
        Step steps[4];
        int count;
    } cases[] = {
        {"a byte every 29 s", 1000, {{30000, 1, SpeedMeasuring}, {59000, 1, SpeedTooSlow}}, 2},
        {"30 KiB in the first second", 1000, {{2000, 30720, SpeedMeasuring}, {31000, 0, SpeedEnough}}, 2},
        {"just under the floor", 1000, {{31000, 30719, SpeedTooSlow}}, 1},
        {"just at the floor", 1000, {{31000, 30720, SpeedEnough}}, 1},
        // A pause of 29 s after a good window: the next window starts from the good one's end.
        {"a pause after a good window",
         1000,
         {{31000, 40000, SpeedEnough}, {60000, 10, SpeedMeasuring}, {61000, 40000, SpeedEnough}},
         3},
        // A large piece after a long silence makes up for it.
        {"one late large piece", 1000, {{50000, 1 << 20, SpeedEnough}}, 1},
        // The tick count wraps.
        {"across the wrap", kNearTheWrap, {{kNearTheWrap + 30000, 30720, SpeedEnough}}, 1},
        // A reader that takes 1 KiB a minute, from a server that sends it at once.
        {"a reader that holds each piece",
         1000,
         {{1000, 1024, SpeedMeasuring}, {61000, 1024, SpeedMeasuring, 60000}, {121000, 1024, SpeedMeasuring, 60000}},
         3},
        {"the same without its holds", 1000, {{1000, 1024, SpeedMeasuring}, {61000, 1024, SpeedTooSlow}}, 2},
        {"a trickle the reader also holds",
         1000,
         {{11000, 100, SpeedMeasuring}, {31000, 100, SpeedMeasuring, 10000}, {51000, 100, SpeedTooSlow, 10000}},
         3},
    };
    for (const Case &c : cases) {
        SpeedWindow window;
        window.Restart(c.start);
        for (int i = 0; i < c.count; ++i) {
            window.Exclude(c.steps[i].heldBefore);
            EXPECT_EQ(c.steps[i].verdict, window.Add(c.steps[i].at, c.steps[i].bytes, 30000)) << c.name << " step " << i;
        }
    }
}

}  // namespace
