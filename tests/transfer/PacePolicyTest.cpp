// The speed cap's queue: what drains when, and how long a delivery waits.
#include <gtest/gtest.h>

#include "transfer/PacePolicy.h"

namespace {

const ULONGLONG kSecond = 1000000;

// One scenario per row: reserve, let time pass at a rate, ask how long the
// last reservation still waits.
TEST(PacePolicy, TheQueueDrainsAtTheRateAndKeepsNoCredit)
{
    struct Case {
        const char *name;
        ULONGLONG rate;
        ULONGLONG earlier;      // reserved and left idle before, at time 0
        ULONGLONG idleMicros;   // then this much time passes
        ULONGLONG bytes;        // then this is reserved
        ULONGLONG laterMicros;  // and this much more passes
        ULONGLONG waitMicros;   // what the reservation waits then
    } cases[] = {
        {"no cap passes at once", 0, 1 << 20, 0, 1 << 20, 0, 0},
        {"a second's worth waits a second", 1024, 0, 0, 1024, 0, kSecond},
        {"half of it passed", 1024, 0, 0, 1024, kSecond / 2, kSecond / 2},
        {"behind another's reservation", 1024, 1024, 0, 1024, 0, 2 * kSecond},
        // An hour idle gives no credit: the rate holds from the next byte.
        {"an idle queue keeps no credit", 1024, 1024, 3600 * kSecond, 1024, 0, kSecond},
        {"a large read at a small cap", 1024, 0, 0, 512 * 1024, 0, 512 * kSecond},
        {"4 MB/s", 4000000, 0, 0, 400000, 0, kSecond / 10},
        {"one byte at a byte a second", 1, 0, 0, 1, 0, kSecond},
    };
    for (const Case &c : cases) {
        PaceQueue queue = {0, 0, 0};
        DrainUntil(queue, 0, c.rate);
        queue.reserved += c.earlier;
        ULONGLONG now = c.idleMicros;
        DrainUntil(queue, now, c.rate);
        queue.reserved += c.bytes;
        ULONGLONG position = queue.reserved;
        now += c.laterMicros;
        DrainUntil(queue, now, c.rate);
        EXPECT_EQ(c.waitMicros, MicrosecondsUntil(queue, position, c.rate, now)) << c.name;
    }
}

// Brought up to date every 7 µs at 1000 bytes a second, the queue loses no
// part of a byte: after a second, a thousand bytes have drained.
TEST(PacePolicy, FrequentLooksLoseNoFractionOfAByte)
{
    PaceQueue queue = {1 << 20, 0, 0};
    for (ULONGLONG now = 0; now < kSecond; now += 7)
        DrainUntil(queue, now, 1000);
    DrainUntil(queue, kSecond, 1000);
    EXPECT_EQ(1000u, queue.drained);
}

// A delivery stopped while it waits gives up its place: those behind it
// wait only for their own bytes.
TEST(PacePolicy, AStoppedDeliveryGivesUpItsPlace)
{
    PaceQueue queue = {0, 0, 0};
    queue.reserved = 3000;  // a stopped range's 3000 bytes, then another's 1000
    queue.reserved += 1000;
    GiveUpPlace(queue, 3000);
    EXPECT_EQ(kSecond, MicrosecondsUntil(queue, 4000, 1000, 0));
    // Giving up more than waits drains no further than what was reserved.
    GiveUpPlace(queue, 1 << 20);
    EXPECT_EQ(queue.reserved, queue.drained);
}

TEST(PacePolicy, ACappedReaderTakesAFewMillisecondsWorthAtATime)
{
    struct Case {
        ULONGLONG rate, limit, size;
    } cases[] = {
        {0, 262144, 262144},
        {40000000, 262144, 262144},
        {4000000, 262144, 4000000 * kPaceReadMilliseconds / 1000},
        {1000000, 262144, 1000000 * kPaceReadMilliseconds / 1000},
        {1024, 262144, kPaceMinRead},
        {1024, 1000, 1000},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.size, PacedReadSize(c.rate, c.limit)) << c.rate << " " << c.limit;
}

}  // namespace
