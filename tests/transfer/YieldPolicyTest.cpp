// The background mode's rate, sample by sample: what a queue does to it.
#include <gtest/gtest.h>

#include "transfer/YieldPolicy.h"

namespace {

const ULONGLONG kMs = 1000;
const ULONGLONG kLine = 8000000;  // what the downloads pass while they may

// Feeds round trips of base + queueing (µs) every kYieldSampleMs, the
// downloads passing what the rate allows up to kLine, and returns the rate
// after the last.
ULONGLONG RateAfter(YieldState &state, DWORD &now, ULONGLONG base, ULONGLONG queueing, int samples)
{
    ULONGLONG rate = state.rate;
    for (int i = 0; i < samples; ++i) {
        now += kYieldSampleMs;
        ULONGLONG passed = (rate < kLine ? rate : kLine) * kYieldSampleMs / 1000;
        rate = NextYieldRate(state, now, base + queueing, kYieldSampleMs, passed);
    }
    return rate;
}

TEST(YieldPolicy, TheRateFollowsTheQueueItAdds)
{
    struct Case {
        const char *name;
        ULONGLONG queueing;  // µs above the line's own 2 ms
        int samples;
        ULONGLONG least, most;  // the rate after them
    } cases[] = {
        // An empty queue: fast growth, as a slow start's, up to what runs.
        {"an empty queue for two seconds", 0, 20, kLine, 2 * kLine},
        {"half the target", kYieldTargetMicros / 2, 20, 2 * kYieldFirstRate, 2 * kLine},
        // At the target it holds, neither growth nor cut, once the line's
        // own round trip is out of the last few.
        {"at the target", kYieldTargetMicros, 20, kYieldFirstRate, 3 * kYieldFirstRate},
        {"twice the target for two seconds", 2 * kYieldTargetMicros, 20, kYieldFirstRate / 8, kYieldFirstRate / 2},
        // A queue that stays: the rate goes to its least, never to nothing.
        {"a full queue for ten seconds", 100 * kMs, 100, kYieldLeastRate, kYieldLeastRate},
    };
    for (const Case &c : cases) {
        DWORD now = 1000;
        YieldState state = FirstYieldState(now);
        RateAfter(state, now, 2 * kMs, 0, 1);  // the line's own round trip, first
        ULONGLONG rate = RateAfter(state, now, 2 * kMs, c.queueing, c.samples);
        EXPECT_GE(rate, c.least) << c.name;
        EXPECT_LE(rate, c.most) << c.name;
    }
}

// One late answer among quick ones is no queue: the current round trip is
// the least of the last few.
TEST(YieldPolicy, ASingleLateAnswerIsNoQueue)
{
    DWORD now = 0;
    YieldState state = FirstYieldState(now);
    RateAfter(state, now, 2 * kMs, 0, 5);
    ULONGLONG before = state.rate;
    RateAfter(state, now, 2 * kMs, 200 * kMs, 2);
    EXPECT_GT(state.rate, before);
    EXPECT_EQ(0u, QueueingDelay(state));
    // Three late ones are.
    before = state.rate;
    RateAfter(state, now, 2 * kMs, 200 * kMs, 1);
    EXPECT_EQ(200 * kMs, QueueingDelay(state));
    EXPECT_LT(state.rate, before);
}

// A rate the servers do not fill is not raised past twice what passed: when
// other traffic starts, it has no long way down.
TEST(YieldPolicy, TheRateStaysNearWhatTheDownloadsTake)
{
    DWORD now = 0;
    YieldState state = FirstYieldState(now);
    ULONGLONG rate = 0;
    for (int i = 0; i < 50; ++i) {
        now += kYieldSampleMs;
        rate = NextYieldRate(state, now, 2 * kMs, kYieldSampleMs, 300000 * kYieldSampleMs / 1000);
    }
    EXPECT_EQ(kYieldFirstRate, rate) << "300 KB/s passed: the first rate is the floor of the ceiling";
    for (int i = 0; i < 50; ++i) {
        now += kYieldSampleMs;
        rate = NextYieldRate(state, now, 2 * kMs, kYieldSampleMs, 3000000 * kYieldSampleMs / 1000);
    }
    EXPECT_EQ(6000000u, rate);
}

// The line's own round trip is the least of the last two minutes: after a
// route grew longer, the old least falls out and the new one is no queue.
TEST(YieldPolicy, AnOldLeastRoundTripFallsOut)
{
    DWORD now = 0;
    YieldState state = FirstYieldState(now);
    RateAfter(state, now, 2 * kMs, 0, 5);
    RateAfter(state, now, 40 * kMs, 0, 10);
    EXPECT_EQ(38 * kMs, QueueingDelay(state));
    RateAfter(state, now, 40 * kMs, 0, (kYieldBaseBuckets * kYieldBaseBucketMs) / kYieldSampleMs);
    EXPECT_EQ(0u, QueueingDelay(state));
}

}  // namespace
