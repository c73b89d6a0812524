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

}  // namespace
