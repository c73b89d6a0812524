// The re-splitting policy's decisions on figures taken from the benchmark
// servers: a local nginx (every connection alike), the uneven server (one
// connection in five at a tenth of the others' rate), nginx's limit_rate (a
// burst, then a held rate), the generated server (paced from the first byte)
// and connections still in slow start. A change of policy shows here as a
// changed row.
#include <gtest/gtest.h>

#include <vector>

#include "components/WebRequest.h"
#include "transfer/ResplitPolicy.h"

namespace {

const ULONGLONG kMB = 1000 * 1000;

RangeFigures Range(ULONGLONG left, ULONGLONG rate, DWORD measuredMs = 1000, bool known = true)
{
    return RangeFigures{left, left, rate, known, measuredMs};
}

RunFigures Figures(ULONGLONG bestRate, DWORD setupMs)
{
    return RunFigures{bestRate, setupMs, 0, 0, 0, 0, 0};
}

TEST(ResplitPolicy, TheRangeToHelpIsTheOneThatNeedsLongest)
{
    struct Case {
        const char *server;
        std::vector<RangeFigures> ranges;
        DWORD setupMs;
        int chosen;
    } cases[] = {
        {"even: the most bytes left",
         {Range(40 * kMB, 20 * kMB), Range(50 * kMB, 20 * kMB), Range(10 * kMB, 20 * kMB)}, 2, 1},
        {"uneven: the smaller range behind the slow connection",
         {Range(8 * kMB, 6 * kMB), Range(3 * kMB, 600000), Range(8 * kMB, 6 * kMB)}, 2, 1},
        {"a rate not known yet is no candidate",
         {Range(8 * kMB, 6 * kMB), Range(30 * kMB, 0, 100, false)}, 2, 0},
        {"a piece or less left is not cut", {Range(256 * 1024, 1000)}, 2, -1},
        {"ending within 200 ms anyway", {Range(3 * kMB, 20 * kMB), Range(1 * kMB, 6 * kMB)}, 2, -1},
        {"far server: more than twice the set-up left", {Range(5 * kMB, 10 * kMB), Range(7 * kMB, 10 * kMB)}, 300, 1},
        {"far server: within twice the set-up", {Range(5 * kMB, 10 * kMB)}, 300, -1},
        {"equal needs: the first", {Range(10 * kMB, 5 * kMB), Range(10 * kMB, 5 * kMB)}, 2, 0},
        {"nothing fetching", {}, 2, -1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.chosen, RangeThatNeedsLongest(c.ranges.data(), static_cast<int>(c.ranges.size()), c.setupMs))
            << c.server;
}

TEST(ResplitPolicy, ASlowConnectionIsAFractionOfTheHelpersMeasuredOverSeveralSetups)
{
    struct Case {
        const char *what;
        ULONGLONG rate, helperRate;
        DWORD measuredMs, setupMs;
        bool slow;
    } cases[] = {
        {"uneven server, a tenth", 600000, 6 * kMB, 2000, 5, true},
        {"a quarter is not slow", 1500000, 6 * kMB, 2000, 5, false},
        {"just under a quarter", 1499999, 6 * kMB, 2000, 5, true},
        {"slow start: measured over fewer than 8 set-ups", 600000, 6 * kMB, 159, 20, false},
        {"measured over exactly 8 set-ups", 600000, 6 * kMB, 160, 20, true},
        {"no helper rate known", 600000, 0, 2000, 5, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.slow, ConnectionIsSlow(c.rate, c.helperRate, c.measuredMs, c.setupMs)) << c.what;
}

std::vector<ULONGLONG> Bytes(const SharePlan &plan)
{
    std::vector<ULONGLONG> bytes;
    for (int k = 0; k < plan.count; ++k)
        bytes.push_back(plan.shares[k].bytes);
    return bytes;
}

TEST(ResplitPolicy, SharesLetEveryConnectionFinishTogether)
{
    struct Case {
        const char *what;
        RangeFigures range;
        RunFigures run;
        int helpers, sharing;
        std::vector<ULONGLONG> gives;
    } cases[] = {
        {"even, one helper: halves", Range(40 * kMB, 20 * kMB), Figures(20 * kMB, 2), 1, 1, {20 * kMB}},
        {"even, three helpers: quarters", Range(40 * kMB, 20 * kMB), Figures(20 * kMB, 2), 3, 3,
         {10 * kMB, 10 * kMB, 10 * kMB}},
        {"one free now, one more before the next look: a third now", Range(30 * kMB, 20 * kMB),
         Figures(20 * kMB, 2), 1, 2, {10 * kMB}},
        {"helpers twice as fast take twice the range's part", Range(50 * kMB, 10 * kMB), Figures(20 * kMB, 2), 2, 2,
         {20 * kMB, 20 * kMB}},
        {"no rate known anywhere: equal parts", Range(30 * kMB, 0, 100, false), Figures(0, 2), 2, 2,
         {10 * kMB, 10 * kMB}},
        {"uneven server: the slow one keeps two openings' worth", Range(3 * kMB, 600000, 2000),
         Figures(6 * kMB, 5), 1, 1, {3 * kMB - 60000}},
        {"slow connection, far server: two of its set-ups' worth", Range(3 * kMB, 600000, 5000),
         Figures(6 * kMB, 300), 2, 2, {(3 * kMB - 360000) / 2, (3 * kMB - 360000) / 2}},
        {"slow start is not slow: a share by rates", Range(3 * kMB, 600000, 100), Figures(6 * kMB, 20), 1, 1,
         {2727272}},
        {"shares under a piece go to fewer helpers", Range(600 * 1000, 20 * kMB), Figures(20 * kMB, 2), 3, 3,
         {300 * 1000}},
    };
    for (const Case &c : cases) {
        SharePlan plan = PlanShares(c.range, c.run, c.helpers, c.sharing);
        EXPECT_EQ(c.gives, Bytes(plan)) << c.what;
    }
}

// Each planned share is reckoned among fewer connections than the one
// before; a cut made after the range went on receiving reckons it again
// from what is left then, so the range's own part stays a fair one.
TEST(ResplitPolicy, EachCutReckonsItsShareFromWhatIsLeftThen)
{
    RangeFigures range = Range(40 * kMB, 20 * kMB);
    SharePlan plan = PlanShares(range, Figures(20 * kMB, 2), 3, 3);
    ASSERT_EQ(3, plan.count);
    EXPECT_EQ(3, plan.shares[0].sharing);
    EXPECT_EQ(2, plan.shares[1].sharing);
    EXPECT_EQ(1, plan.shares[2].sharing);
    // 2 MB came in while the first piece's request opened.
    EXPECT_EQ(28 * kMB / 3, ShareOf(28 * kMB, range, Figures(20 * kMB, 2), plan.shares[1].sharing));
    // Shares under a piece are skipped, the next reckoned among one fewer.
    SharePlan fewer = PlanShares(Range(600 * 1000, 20 * kMB), Figures(20 * kMB, 2), 3, 3);
    ASSERT_EQ(1, fewer.count);
    EXPECT_EQ(1, fewer.shares[0].sharing);
    EXPECT_EQ(0u, ShareOf(40 * kMB, range, Figures(20 * kMB, 2), 0));
}

TEST(ResplitPolicy, NoShareReachesBelowTheWriteInProgress)
{
    RangeFigures range = Range(40 * kMB, 20 * kMB);
    range.cuttable = 300 * 1000;
    SharePlan plan = PlanShares(range, Figures(20 * kMB, 2), 2, 2);
    EXPECT_EQ((std::vector<ULONGLONG>{300 * 1000}), Bytes(plan));
    range.cuttable = 200 * 1000;
    EXPECT_EQ(0, PlanShares(range, Figures(20 * kMB, 2), 2, 2).count);
    EXPECT_EQ(0, PlanShares(Range(40 * kMB, 20 * kMB), Figures(20 * kMB, 2), 0, 0).count);
}

TEST(ResplitPolicy, ABurstIsAFastFirstLookBeforeAHeldRate)
{
    struct Case {
        const char *server;
        ULONGLONG earlyBytes;
        DWORD earlyMs;
        ULONGLONG laterBytes;
        DWORD laterMs;
        bool burst;
        ULONGLONG heldRate;
    } cases[] = {
        {"limit_rate 2m: a second's worth at once, then 2 MB/s", 2 * kMB, 150, 2 * kMB, 1000, true, 2 * kMB},
        {"limit_rate 1m, a short look", 1 * kMB, 160, 1100000, 1100, true, 1 * kMB},
        {"paced from the first byte at 6 MB/s", 900000, 150, 6 * kMB, 1000, false, 0},
        {"slow start: slower first", 300000, 150, 10 * kMB, 1000, false, 0},
        {"just three times the held rate", 300000, 150, 2 * kMB / 3, 1000, true, 2 * kMB / 3},
        {"a burst smaller than a piece does not count", 200000, 150, 100000, 1000, false, 0},
        {"held rate measured too briefly", 2 * kMB, 150, 1 * kMB, 999, false, 0},
        {"nothing after the first look", 2 * kMB, 150, 0, 1000, false, 0},
    };
    for (const Case &c : cases) {
        ULONGLONG held = 0;
        EXPECT_EQ(c.burst, BurstSeen(c.earlyBytes, c.earlyMs, c.laterBytes, c.laterMs, &held)) << c.server;
        EXPECT_EQ(c.heldRate, held) << c.server;
    }
}

// nginx's limit_rate grants a second at a time: a burst by the first look,
// then next to nothing until its next second. Figures from its 1m location.
TEST(ResplitPolicy, AnAnswerStandsStillAfterABurstOnlyWhenNextToNothingFollows)
{
    struct Case {
        const char *server;
        ULONGLONG earlyBytes, laterBytes;
        DWORD stillMs;
        bool still;
    } cases[] = {
        {"limit_rate 1m: the burst's last bytes after the first look", 1047471, 1105, 152, true},
        {"limit_rate 1m: nothing at all", 1 * kMB, 0, 150, true},
        {"looked at too soon", 1 * kMB, 0, 149, false},
        {"paced from the first byte", 900000, 900000, 150, false},
        {"a connection that slows to a tenth", 1 * kMB, 100000, 150, false},
        {"a burst, then a rate held smoothly (2 MB/s)", 2 * kMB, 300000, 150, false},
        {"a stall after less than a piece", 200000, 0, 1000, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.still, StillAfterBurst(c.earlyBytes, c.laterBytes, c.stillMs)) << c.server;
}

// With no held rate (a server that grants a second at a time) the rest of a
// range goes in equal requests of a burst at most, never behind the write.
TEST(ResplitPolicy, ASecondAtATimeServersRequestsAreEqualBurstsAtMost)
{
    RunFigures run = Figures(0, 2);
    run.burstBytes = 1 * kMB;
    run.heldRate = 0;
    struct Case {
        ULONGLONG requestStart, writePos, rangeEnd, end;
    } cases[] = {
        {0, 1 * kMB, 3200 * 1000, 1 * kMB},                       // stood still at its burst: ends where it is
        {10 * kMB, 10 * kMB, 12200 * 1000, 10 * kMB + 733334},    // three requests of 0.73 MB, not 1 + 1 + 0.2
        {10 * kMB, 10 * kMB, 10 * kMB + 500000, 10 * kMB + 500000},  // less than a burst: all of it
        {10 * kMB, 10 * kMB, 12 * kMB, 11 * kMB},                 // exactly two bursts
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.end, BurstRequestEnd(c.requestStart, c.writePos, c.rangeEnd, run)) << c.rangeEnd;
}

TEST(ResplitPolicy, ABurstServersRequestEndsPastItsBurstAndASecondAtTheHeldRate)
{
    RunFigures run = Figures(0, 2);
    run.burstBytes = 2 * kMB;
    run.heldRate = 2 * kMB;
    struct Case {
        ULONGLONG requestStart, writePos, end;
    } cases[] = {
        {0, 1 * kMB, 4 * kMB},           // burst and a second from where it began
        {0, 3500 * 1000, 5500 * 1000},   // and at least a second past where it is
        {10 * kMB, 10 * kMB, 14 * kMB},  // a piece's request
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.end, BurstRequestEnd(c.requestStart, c.writePos, 40 * kMB, run)) << c.writePos;
}

TEST(ResplitPolicy, RatesLookAheadAndRefusals)
{
    bool known = true;
    EXPECT_EQ(0u, MeasuredRate(1000000, 149, &known));
    EXPECT_FALSE(known);
    EXPECT_EQ(6666666u, MeasuredRate(1000000, 150, &known));
    EXPECT_TRUE(known);
    EXPECT_EQ(0u, MeasuredRate(1000000, -5, &known));  // opened after the moment asked about
    EXPECT_FALSE(known);

    EXPECT_EQ(~0ull, MillisecondsLeft(1, 0));
    EXPECT_FALSE(FreeBeforeNextLook(1 * kMB, 0));
    EXPECT_TRUE(FreeBeforeNextLook(1 * kMB, 100 * kMB));
    EXPECT_FALSE(FreeBeforeNextLook(5 * kMB, 100 * kMB));

    struct Look {
        std::vector<LONG> openedMs;
        bool connectionFree;
        DWORD wait;
    } looks[] = {
        {{100}, false, 50},       // every connection busy: the poll
        {{100}, true, 50},        // known in 50 ms anyway
        {{120, 20}, true, 31},    // the first known in 30 ms
        {{160}, true, 50},        // known already
        {{-5}, true, 50},         // opened after the look began
        {{}, true, 50},
    };
    for (const Look &look : looks)
        EXPECT_EQ(look.wait,
                  NextLookIn(look.openedMs.data(), static_cast<int>(look.openedMs.size()), look.connectionFree));

    EXPECT_TRUE(RefusalBarsHelp(WebRequestFileChanged));
    EXPECT_TRUE(RefusalBarsHelp(WebRequestRangeRefused));
    EXPECT_FALSE(RefusalBarsHelp(WebRequestTimedOut));
    EXPECT_FALSE(RefusalBarsHelp(WebRequestHttpStatus));
}

}  // namespace
