// Close, Cancel and the resources of a request: what the plug-in relies on
// when it stops a task while data is flowing or a server has gone silent.
#include "netquill/ScriptedServer.h"

#include <gtest/gtest.h>
#include <tlhelp32.h>

#include <string>
#include <thread>

#include "netquill/TestRequest.h"

namespace {

const std::string kFile = Pattern(200000);

// Sends the file in small pieces with pauses, so that deliveries go on for a while.
void Trickle(ScriptedConnection &c)
{
    size_t first, count;
    std::string header = OkHeader(c, kFile, &first, &count);
    c.SendSlowly(header + kFile.substr(first, count), 1000, 20);
}

// Answers with the whole file's length, sends its first `sent` bytes and then
// nothing more until the client closes.
ScriptedServer::Script FallsSilentAfter(size_t sent)
{
    return [sent](ScriptedConnection &c) {
        c.Send("HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + kFile.substr(0, sent));
        c.WaitForClientClose();
    };
}

struct BlockingDelivery {
    HANDLE entered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ~BlockingDelivery()
    {
        CloseHandle(entered);
        CloseHandle(release);
    }
    static void Hold(void *self, unsigned)
    {
        BlockingDelivery *b = static_cast<BlockingDelivery *>(self);
        SetEvent(b->entered);
        WaitForSingleObject(b->release, INFINITE);
    }
};

TEST(Close, WaitsForTheRunningDeliveryAndNoneFollows)
{
    ScriptedServer server(Trickle);
    TestRequest request;
    BlockingDelivery block;
    request.onDelivery = BlockingDelivery::Hold;
    request.onDeliveryContext = &block;
    ASSERT_TRUE(request.Open(server.Url("/f"), nullptr, true));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(block.entered, 10000));

    std::atomic<bool> closed{false};
    std::thread closer([&] {
        request.Close();
        closed = true;
    });
    Sleep(300);
    EXPECT_FALSE(closed) << "Close returned while a delivery was running";
    SetEvent(block.release);
    closer.join();
    int deliveries = request.Deliveries();
    EXPECT_EQ(1, deliveries);
    Sleep(300);
    EXPECT_EQ(deliveries, request.Deliveries());
    EXPECT_EQ(kFile.substr(0, request.Received().size()), request.Received());
}

TEST(Close, EndsATrickleAtOnce)
{
    ScriptedServer server(Trickle);
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f"), nullptr, true));
    ASSERT_TRUE(request.WaitForBytes(3000, 10000));
    DWORD start = GetTickCount();
    request.Close();
    EXPECT_LT(GetTickCount() - start, 3000u);
    int deliveries = request.Deliveries();
    Sleep(200);
    EXPECT_EQ(deliveries, request.Deliveries());
    std::string got = request.Received();
    EXPECT_LT(got.size(), kFile.size());
    EXPECT_EQ(kFile.substr(0, got.size()), got);
}

// A large read from a server that has stopped sending returns the bytes that
// came before, at once; it does not sit out the idle time-out to fill its buffer.
TEST(Read, HandsOutWhatArrivedWithoutWaitingToFillTheBuffer)
{
    ScriptedServer server(FallsSilentAfter(1000));
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f")));
    std::string got;
    std::string buffer(65536, '\0');
    while (got.size() < 1000) {
        unsigned n = request.Read(&buffer[0], 65536);
        ASSERT_GT(n, 0u);
        got.append(buffer.data(), n);
    }
    EXPECT_EQ(kFile.substr(0, 1000), got);
    EXPECT_EQ(WebRequestOk, request.LastError());
}

TEST(Cancel, BlockedReadReturnsZero)
{
    ScriptedServer server(FallsSilentAfter(100));
    TestRequest request;
    ASSERT_TRUE(request.Open(server.Url("/f")));
    char buffer[5000];
    ASSERT_EQ(100u, request.Read(buffer, 100));
    EXPECT_EQ(kFile.substr(0, 100), std::string(buffer, 100));
    std::thread canceller([&] {
        Sleep(200);
        request.Cancel();
    });
    EXPECT_EQ(0u, request.Read(buffer, sizeof(buffer)));
    canceller.join();
    // Cancelled, not timed out: the idle time-out of this suite is far longer.
    EXPECT_EQ(WebRequestCancelled, request.LastError());
}

TEST(Cancel, AbortsOpenAndStopsDeliveries)
{
    {
        ScriptedServer server([](ScriptedConnection &c) { c.WaitForClientClose(); });
        TestRequest request;
        std::thread canceller([&] {
            Sleep(200);
            request.Cancel();
        });
        EXPECT_FALSE(request.Open(server.Url("/f")));
        canceller.join();
        EXPECT_EQ(WebRequestCancelled, request.LastError());
    }
    {
        ScriptedServer server(Trickle);
        TestRequest request;
        ASSERT_TRUE(request.Open(server.Url("/f"), nullptr, true));
        ASSERT_TRUE(request.WaitForBytes(2000, 10000));
        request.Cancel();
        ASSERT_TRUE(request.WaitForFailure(5000));
        EXPECT_EQ(WebRequestCancelled, request.LastError());
        int deliveries = request.Deliveries();
        Sleep(200);
        EXPECT_EQ(deliveries, request.Deliveries());
    }
}

struct Usage {
    DWORD handles;
    int threads;
    SIZE_T privateBytes;
};

Usage Measure()
{
    Usage usage = {};
    // Wine answers GetProcessHandleCount with 0, so the handle values are
    // probed instead; it hands them out as small multiples of 4.
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++usage.handles;
    }
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId())
            ++usage.threads;
    }
    CloseHandle(snapshot);
    // Wine leaves PrivateUsage of GetProcessMemoryInfo at 0, so the private
    // committed pages are summed from the address space itself.
    MEMORY_BASIC_INFORMATION region;
    for (const char *at = nullptr; VirtualQuery(at, &region, sizeof(region)) == sizeof(region);
         at = static_cast<const char *>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            usage.privateBytes += region.RegionSize;
    }
    return usage;
}

TEST(Lifetime, ThousandRequestsLeaveNothingBehind)
{
    const std::string small = Pattern(6000);
    ScriptedServer server([&small](ScriptedConnection &c) { ServeBody(c, small); });
    auto fetchOne = [&](int i) {
        TestRequest request;
        bool withCallback = i % 2 == 1;
        ASSERT_TRUE(request.Open(server.Url("/f"), i % 4 == 1 ? "Range:bytes=0-5999/6000\r\n" : nullptr,
                                 withCallback));
        std::string got = withCallback ? (request.WaitForBytes(small.size(), 10000), request.Received())
                                       : request.ReadAll(5000);
        ASSERT_EQ(small, got) << i;
    };
    // Winsock, the loader and the heap settle during the first requests.
    for (int i = 0; i < 20; ++i)
        fetchOne(i);
    Usage before = Measure();
    ASSERT_GT(before.privateBytes, 0u);
    ASSERT_GT(before.threads, 0);
    ASSERT_GT(before.handles, 0u);
    for (int i = 0; i < 1000; ++i)
        fetchOne(i);
    Usage after = Measure();
    EXPECT_LE(after.handles, before.handles + 10) << before.handles << " -> " << after.handles;
    EXPECT_LE(after.threads, before.threads + 1) << before.threads << " -> " << after.threads;
    EXPECT_LE(after.privateBytes, before.privateBytes + 2 * 1024 * 1024)
        << before.privateBytes << " -> " << after.privateBytes;
}

}  // namespace
