// What a thread gives back of its stack, and that its stack still works after.
#include <gtest/gtest.h>
#include <string.h>
#include <windows.h>
// After windows.h, whose types it uses.
#include <psapi.h>

#include "util/ThreadStack.h"
#include "util/UnusedStack.h"

namespace {

const uintptr_t kPage = 4096;
const uintptr_t kLimit = 0x100000;        // the lowest committed byte
const uintptr_t kBase = kLimit + 0x100000;  // just past the top of a 1 MiB stack

TEST(UnusedStack, OnlyWholePagesWellBelowTheRunningFrame)
{
    struct Case {
        const char *name;
        uintptr_t limit, position;
        size_t headroom;
        uintptr_t start;
        size_t length;
    } cases[] = {
        {"a thread near its top", kLimit, kBase - 0x300, kStackHeadroom, kLimit, 0xF0000 - kPage},
        // The page holding position - headroom may be reached: it stays.
        {"the headroom's page stays", kLimit, kLimit + 0x20800, 0x10000, kLimit, 0x10000},
        {"a limit within a page starts at the next", kLimit + 0x10, kLimit + 0x40000, 0x10000, kLimit + kPage,
         0x2F000},
        {"a frame within the headroom of the limit", kLimit, kLimit + 0x10000, 0x10000, 0, 0},
        {"less than a page below the headroom", kLimit, kLimit + 0x10FFF, 0x10000, 0, 0},
        // Not this stack: nothing of it is known to be free.
        {"a position below the stack", kLimit, kLimit - 0x100000, 0x10000, 0, 0},
        {"a position at its base", kLimit, kBase, 0x10000, 0, 0},
        {"a position above it", kLimit, kBase + 0x100000, 0x10000, 0, 0},
        {"a limit above the position", kBase, kLimit + 0x80000, 0x10000, 0, 0},
    };
    for (const Case &c : cases) {
        AddressSpan span = UnusedStackSpan(c.limit, kBase, c.position, c.headroom, kPage);
        EXPECT_EQ(c.length, span.length) << c.name;
        if (c.length) {
            EXPECT_EQ(c.start, span.start) << c.name;
        }
    }
    EXPECT_EQ(0u, UnusedStackSpan(kLimit, kBase, kBase - 0x300, kStackHeadroom, 0).length) << "no page size";
}

bool Resident(const void *address)
{
    PSAPI_WORKING_SET_EX_INFORMATION page = {};
    page.VirtualAddress = const_cast<void *>(address);
    return QueryWorkingSetEx(GetCurrentProcess(), &page, sizeof page) && page.VirtualAttributes.Valid;
}

struct StackProbe {
    const volatile char *deepByte;  // a byte 256 KiB down, written by Reach
    unsigned long deepSum;          // what Reach read back of its writes
};

// Writes and reads back a byte in every page of 256 KiB below the caller.
__attribute__((noinline)) void Reach(StackProbe *probe)
{
    volatile char deep[256 * 1024];
    for (size_t at = 0; at < sizeof deep; at += kPage)
        deep[at] = static_cast<char>(at / kPage + 1);
    unsigned long sum = 0;
    for (size_t at = 0; at < sizeof deep; at += kPage)
        sum += static_cast<unsigned char>(deep[at]);
    probe->deepByte = &deep[0];
    probe->deepSum = sum;
}

struct ThreadResult {
    bool residentBefore, residentAfter, committedAfter, residentAgain;
    bool frameKept;
    unsigned long sumBefore, sumAgain;
};

DWORD WINAPI ReleaseAndReachAgain(void *argument)
{
    ThreadResult *result = static_cast<ThreadResult *>(argument);
    // The running frame's own bytes, which must survive the release.
    volatile char frame[512];
    for (size_t i = 0; i < sizeof frame; ++i)
        frame[i] = static_cast<char>(i * 7);
    StackProbe probe = {};
    Reach(&probe);
    result->sumBefore = probe.deepSum;
    result->residentBefore = Resident(const_cast<const char *>(probe.deepByte));

    ReleaseUnusedStack();
    result->residentAfter = Resident(const_cast<const char *>(probe.deepByte));
    MEMORY_BASIC_INFORMATION page = {};
    result->committedAfter = VirtualQuery(const_cast<const char *>(probe.deepByte), &page, sizeof page) &&
                             page.State == MEM_COMMIT;
    result->frameKept = true;
    for (size_t i = 0; i < sizeof frame; ++i)
        result->frameKept = result->frameKept && frame[i] == static_cast<char>(i * 7);

    Reach(&probe);
    result->sumAgain = probe.deepSum;
    result->residentAgain = Resident(const_cast<const char *>(probe.deepByte));
    return 0;
}

// A thread that reached deep into its stack and came back gives those pages
// back, keeps the frames it runs in, and can reach down there again.
TEST(ThreadStack, PagesLeftBelowTheRunningFrameAreGivenBack)
{
    ThreadResult result = {};
    HANDLE thread = CreateThread(nullptr, 0, ReleaseAndReachAgain, &result, 0, nullptr);
    ASSERT_TRUE(thread != nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 10000));
    CloseHandle(thread);

    EXPECT_TRUE(result.residentBefore);
    EXPECT_FALSE(result.residentAfter) << "the page 256 KiB down is still in memory";
    EXPECT_TRUE(result.committedAfter) << "the stack must stay committed";
    EXPECT_TRUE(result.frameKept) << "the running frame lost its bytes";
    EXPECT_EQ(result.sumBefore, result.sumAgain);
    EXPECT_EQ(64u * 65 / 2, result.sumAgain);
    EXPECT_TRUE(result.residentAgain);
}

}  // namespace
