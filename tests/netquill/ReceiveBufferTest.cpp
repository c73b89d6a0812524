#include <gtest/gtest.h>

#include "netquill/ReceiveBuffer.h"

namespace {

// Where the system tunes the receive window, a fixed buffer would cap every
// connection at buffer / round trip; it is set only where nothing tunes it
// far enough.
TEST(ReceiveBuffer, SetOnlyWhereTheWindowDoesNotTuneItself)
{
    struct Case {
        const char *platform;
        SocketPlatform facts;
        bool fixed;
    } cases[] = {
        {"Windows Vista and later", {false, true}, false},
        {"Windows XP, Server 2003", {false, false}, true},
        {"Wine reporting Windows 10", {true, true}, true},
        {"Wine reporting Windows XP", {true, false}, true},
    };
    for (const Case &c : cases) {
        int bytes = FixedReceiveBuffer(c.facts);
        if (c.fixed)
            EXPECT_GE(bytes, 4 * 1024 * 1024) << c.platform;
        else
            EXPECT_EQ(0, bytes) << c.platform;
    }
}

// A paced reader's buffer: 400 ms at its pace, set again only when that
// changes by half or double, and the fixed buffer back when the pace ends.
// What kPacedBufferMs of a pace of readLimit bytes per 100 ms hold.
int Paced(size_t readLimit)
{
    return static_cast<int>(readLimit * kPacedBufferMs / 100);
}

TEST(ReceiveBuffer, APacedReaderKeepsARoundTripsWorthOfItsPace)
{
    const size_t kCapacity = 512 * 1024;
    const int kFixed = kUntunedReceiveBuffer;
    struct Case {
        const char *name;
        size_t readLimit;  // per 100 ms
        int fixed, current, buffer;
    } cases[] = {
        {"unpaced, never changed", kCapacity, kFixed, 0, 0},
        {"unpaced, the system's window", kCapacity, 0, 0, 0},
        {"unpaced again after a pace", kCapacity, kFixed, 80 * 1024, kFixed},
        {"unpaced, started small where the system tunes", kCapacity, 0, 256 * 1024, kUntunedReceiveBuffer},
        {"800 KB/s", 80000, kFixed, 0, Paced(80000)},
        {"800 KB/s, set already", 80000, kFixed, Paced(80000), Paced(80000)},
        {"a little faster: not set again", 100000, kFixed, Paced(80000), Paced(80000)},
        {"three times faster", 240000, kFixed, Paced(80000), Paced(240000)},
        {"slower by half and more", 30000, kFixed, Paced(240000), Paced(30000)},
        {"1 KiB/s: the least", 2048, kFixed, 0, kPacedBufferLeast},
        {"paced at nearly a whole read", 500000, kFixed, 0, Paced(500000)},
        {"the same, set already", 500000, kFixed, Paced(500000), Paced(500000)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.buffer, BufferAtReaderPace(c.readLimit, 100, kCapacity, c.fixed, c.current)) << c.name;
}

}  // namespace
