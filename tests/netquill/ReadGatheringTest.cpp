// How long a body may gather before its next read.
#include <gtest/gtest.h>

#include "netquill/ReadGathering.h"

namespace {

const size_t kBuffer = 512 * 1024;
const int kWineWindow = 4 * 1024 * 1024;

TEST(ReadGathering, OnlyAConnectionSlowerThanItsReadsPauses)
{
    struct Case {
        const char *name;
        size_t lastRead;
        unsigned long long arrivalMicros;
        size_t capacity;
        int window;
        unsigned pauseMs;
    } cases[] = {
        // 64 KiB pieces at 8 MB/s: a quarter of the buffer takes 16 ms to come.
        {"a paced server's piece", 65536, 8000, kBuffer, kWineWindow, 16},
        // The same rate after a pause: the rate, not the piece, decides, so
        // reads do not alternate between a pause and none.
        {"after a pause at that rate", 131072, 16000, kBuffer, kWineWindow, 16},
        {"a slow server waits at most the cap", 16384, 20000, kBuffer, kWineWindow, kGatherMaxMs},
        // The bytes were waiting: the reader is behind, so it reads on.
        {"bytes that were waiting", 300000, 50, kBuffer, kWineWindow, 0},
        {"a fast line", 200000, 1000, kBuffer, kWineWindow, 0},
        {"a full buffer leaves bytes in the socket", kBuffer, 40000, kBuffer, kWineWindow, 0},
        {"nothing read yet", 0, 40000, kBuffer, kWineWindow, 0},
        // Where the system tunes the window, a pause could keep it small.
        {"a window the system tunes", 65536, 8000, kBuffer, 0, 0},
        // A small window bounds what may gather: an eighth of 256 KiB at 8 MB/s.
        {"a small fixed window", 65536, 8000, kBuffer, 256 * 1024, 4},
        {"a small buffer", 16384, 2000, 128 * 1024, kWineWindow, 4},
        {"the least pause", 65536, 1000, kBuffer, kWineWindow, kGatherMinMs},
        {"a pause under 2 ms is none", 131072, 1999, kBuffer, kWineWindow, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.pauseMs, GatherPauseMs(c.lastRead, c.arrivalMicros, c.capacity, c.window)) << c.name;
}

TEST(ReadGathering, AReaderSlowerThanItsPiecesGetsSmallerOnes)
{
    struct Case {
        const char *name;
        size_t lastPiece;
        unsigned heldMs;
        size_t lastLimit;
        size_t limit;
    } cases[] = {
        {"a reader that keeps up", 131072, 3, kBuffer, kBuffer},
        {"held just the pace", 131072, kReaderPaceMs, kBuffer, kBuffer},
        // 128 KiB held for 160 ms: 800 KB/s, so 16 KiB in 20 ms.
        {"a reader at 800 KB/s", 131072, 160, kBuffer, 131072 * kReaderPaceMs / 160},
        {"a reader at 1 KiB/s", 65536, 64000, kBuffer, kReaderPaceMinRead},
        {"nothing handed yet", 0, 5000, 4096, kBuffer},
        // A paced reader whose piece passed at once gets twice as much, not
        // the whole buffer, and the whole buffer back a few pieces later.
        {"one quick piece after paced ones", 81920, 2, 81920, 163840},
        {"a quick piece near the whole", 81920, 2, kBuffer / 2 + 1, kBuffer},
        // A reader held for days cannot overflow the product.
        {"a huge piece held long", kBuffer, 0xFFFFFFFFu, kBuffer, kReaderPaceMinRead},
        {"never more than the buffer", 1u << 30, 200, 4096, kBuffer},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.limit, ReadLimitAtReaderPace(c.lastPiece, c.heldMs, c.lastLimit, kBuffer)) << c.name;
}

}  // namespace
