#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "transfer/Completion.h"
#include "transfer/DownloadTask.h"
#include "transfer/HttpRequests.h"
#include "transfer/SegmentReceiver.h"
#include "transfer/Segmentation.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskHalt.h"

namespace {

LONG gAnnouncements = 0;

void __cdecl CountAnnouncement(int a, int b, int c)
{
    EXPECT_EQ(0, a);
    EXPECT_EQ(1, b);
    EXPECT_EQ(0, c);
    InterlockedIncrement(&gAnnouncements);
}

// A segmented task over its own mapped temporary file, filled with 0xEE so
// that stray writes show. Requests are real, unopened component objects:
// only their presence counts here.
class ReceiverTest : public ::testing::Test {
public:
    void SetUp() override
    {
        gAnnouncements = 0;
        task.ClearData();
        task.announced = 0;
        task.stopRequested = 0;
        task.connectionCount = 3;
        task.serverMinorVersion = 1;
        task.totalSize = 10007;
        task.progressCallback = CountAnnouncement;
        char folder[MAX_PATH];
        GetTempPathA(sizeof(folder), folder);
        snprintf(task.tempPath, sizeof(task.tempPath), "%sravlix-receiver-%lu.hhh", folder, GetCurrentProcessId());
        ASSERT_EQ(1, PrepareFile(&task));
        std::vector<BYTE> stray(task.totalSize, 0xEE);
        OVERLAPPED at = {};
        DWORD written = 0;
        ASSERT_TRUE(WriteFile(task.fileHandle, stray.data(), static_cast<DWORD>(stray.size()), &written, &at));
        task.segmentSize = 3335;
        for (int i = 0; i < 3; ++i) {
            TaskSegment &segment = task.segments[i];
            segment.owner = &task;
            segment.index = i;
            segment.length = i == 2 ? 3337 : 3335;
            segment.writePos = i * 3335;
            segment.state = SegmentRunning;
            // As the engine arms a range it opens, the last stop's word cleared too.
            ASSERT_TRUE(RenewRangeEvents(segment, ExtentOf(task, segment)));
            segment.request = NewRequest();
        }
        source.resize(task.totalSize);
        for (size_t i = 0; i < source.size(); ++i)
            source[i] = static_cast<BYTE>(i * 7 + i / 251);
    }

    void TearDown() override
    {
        StopRequests(&task);
        ReleaseFile(&task);
        DeleteFileA(task.tempPath);
    }

    void Deliver(int i, DWORD from, DWORD count)
    {
        transfer::ReceiveCallback(&task.segments[i], source.data() + i * 3335 + from, count);
    }

    bool BusyClear(int i) const { return WaitForSingleObject(task.segments[i].busyEvent, 0) == WAIT_TIMEOUT; }

    // The temporary file's bytes as they are now.
    std::vector<BYTE> Contents() const
    {
        std::vector<BYTE> bytes(task.totalSize);
        OVERLAPPED at = {};
        DWORD read = 0;
        ReadFile(task.fileHandle, bytes.data(), static_cast<DWORD>(bytes.size()), &read, &at);
        bytes.resize(read);
        return bytes;
    }

    DownloadTask task;
    std::vector<BYTE> source;
};

TEST_F(ReceiverTest, ADeliveryCrossingTheEndWritesOnlyUpToTheEnd)
{
    transfer::ReceiveCallback(&task.segments[0], source.data(), 3335 + 100);
    TaskSegment &segment = task.segments[0];
    EXPECT_EQ(3335u, segment.received);
    EXPECT_EQ(1, segment.finished);
    EXPECT_EQ(SegmentIdle, segment.state);
    EXPECT_EQ(3335u, segment.writePos);
    std::vector<BYTE> file = Contents();
    ASSERT_EQ(10007u, file.size());
    EXPECT_EQ(0, memcmp(file.data(), source.data(), 3335));
    EXPECT_EQ(0xEE, file[3335]);  // the next segment's first byte was not touched
    EXPECT_TRUE(BusyClear(0));
}

TEST_F(ReceiverTest, FinishedStoppedOrEmptyDeliveriesWriteNothing)
{
    Deliver(0, 0, 3335);
    Deliver(0, 0, 50);  // finished already
    EXPECT_EQ(3335u, task.segments[0].received);
    EXPECT_TRUE(BusyClear(0));

    SignalRangeStop(&task, task.segments[1]);
    Deliver(1, 0, 100);
    EXPECT_EQ(0u, task.segments[1].received);
    EXPECT_EQ(0xEE, Contents()[3335]);
    EXPECT_TRUE(BusyClear(1));

    Deliver(2, 0, 0);
    EXPECT_EQ(0u, task.segments[2].received);
    EXPECT_EQ(0, task.segments[2].finished);
    EXPECT_TRUE(BusyClear(2));
    EXPECT_EQ(0, gAnnouncements);

    transfer::ReceiveCallback(nullptr, source.data(), 10);
    TaskSegment orphan = {};
    transfer::ReceiveCallback(&orphan, source.data(), 10);
}

TEST_F(ReceiverTest, AnnouncesOnceWhenTheLastSegmentCompletesInAnyOrder)
{
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (const auto &order : orders) {
        SetUp();
        for (int step = 0; step < 3; ++step) {
            int i = order[step];
            DWORD length = task.segments[i].length;
            Deliver(i, 0, 1000);
            Deliver(i, 1000, length - 1000);
            EXPECT_EQ(step == 2 ? 1 : 0, gAnnouncements);
        }
        // A late delivery to a finished segment announces nothing more.
        Deliver(order[0], 0, 10);
        EXPECT_EQ(1, gAnnouncements);
        EXPECT_TRUE(Contents() == source);
        TearDown();
    }
}

// The file refuses a write (a full disk, say): the segment stops with its
// counters at the last byte the file took, and takes nothing more.
TEST_F(ReceiverTest, AWriteTheFileRefusesStopsTheSegmentWhereItWas)
{
    Deliver(1, 0, 1000);
    HANDLE writable = task.fileHandle;
    task.fileHandle = CreateFileA(task.tempPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, task.fileHandle);
    Deliver(1, 1000, 2335);
    TaskSegment &segment = task.segments[1];
    EXPECT_EQ(1000u, segment.received);
    EXPECT_EQ(3335u + 1000, segment.writePos);
    EXPECT_EQ(SegmentStopped, segment.state);
    EXPECT_EQ(0, segment.finished);
    EXPECT_TRUE(BusyClear(1));
    CloseHandle(task.fileHandle);
    task.fileHandle = writable;

    // Even with the file writable again, the stopped segment takes nothing.
    Deliver(1, 1000, 2335);
    EXPECT_EQ(1000u, segment.received);
    EXPECT_EQ(0xEE, Contents()[3335 + 1000]);
    Deliver(0, 0, 3335);
    Deliver(2, 0, 3337);
    EXPECT_EQ(0, gAnnouncements);
}

TEST_F(ReceiverTest, ASegmentWithoutRequestDoesNotCountTowardsCompletion)
{
    WebRequest *request = task.segments[1].request;
    task.segments[1].request = nullptr;
    task.segments[1].received = 200;  // an earlier run's partial count
    Deliver(0, 0, 3335);
    Deliver(2, 0, 3337);
    EXPECT_EQ(0, gAnnouncements);
    task.segments[1].request = request;
}

struct RacingDelivery {
    ReceiverTest *test;
    int segment;
    HANDLE start;
};

DWORD WINAPI DeliverInPieces(void *argument)
{
    RacingDelivery *delivery = static_cast<RacingDelivery *>(argument);
    WaitForSingleObject(delivery->start, INFINITE);
    DownloadTask &task = *delivery->test->task.segments[0].owner;
    TaskSegment &segment = task.segments[delivery->segment];
    const BYTE *data = delivery->test->source.data() + delivery->segment * 3335;
    for (DWORD done = 0; done < segment.length; done += 97) {
        DWORD count = segment.length - done < 97 ? segment.length - done : 97;
        transfer::ReceiveCallback(&segment, data + done, count);
    }
    return 0;
}

TEST_F(ReceiverTest, RacingSegmentsAnnounceExactlyOnce)
{
    for (int round = 0; round < 40; ++round) {
        SetUp();
        HANDLE start = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        RacingDelivery deliveries[3] = {{this, 0, start}, {this, 1, start}, {this, 2, start}};
        HANDLE threads[3];
        for (int i = 0; i < 3; ++i)
            threads[i] = CreateThread(nullptr, 0, DeliverInPieces, &deliveries[i], 0, nullptr);
        SetEvent(start);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(3, threads, TRUE, 30000));
        for (HANDLE thread : threads)
            CloseHandle(thread);
        CloseHandle(start);
        ASSERT_EQ(1, gAnnouncements) << "round " << round;
        ASSERT_TRUE(Contents() == source);
        TearDown();
    }
}

// Deliveries keep coming at full speed while the task stops and its file is
// closed: none may write after the stop has passed its segment.
struct Flood {
    TaskSegment *segment;
    const BYTE *data;
    volatile LONG *running;
    LONG calls;
};

DWORD WINAPI FloodSegment(void *argument)
{
    Flood *flood = static_cast<Flood *>(argument);
    while (*flood->running) {
        transfer::ReceiveCallback(flood->segment, flood->data, 4096);
        ++flood->calls;
    }
    return 0;
}

TEST(ReceiverStopHandshake, NoWriteFollowsTheStop)
{
    char folder[MAX_PATH];
    GetTempPathA(sizeof(folder), folder);
    std::vector<BYTE> chunk(4096, 0x5A);
    for (int round = 0; round < 20; ++round) {
        DownloadTask task;
        task.ClearData();
        snprintf(task.tempPath, sizeof(task.tempPath), "%sravlix-handshake-%lu.hhh", folder, GetCurrentProcessId());
        task.connectionCount = 5;
        task.serverMinorVersion = 1;
        task.totalSize = 64u << 20;
        ASSERT_EQ(1, PrepareFile(&task));
        task.segmentSize = task.totalSize / 5;
        for (int i = 0; i < 5; ++i) {
            TaskSegment &segment = task.segments[i];
            segment.owner = &task;
            segment.length = task.segmentSize;
            segment.writePos = i * task.segmentSize;
            segment.state = SegmentRunning;
            segment.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            segment.busyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            segment.request = NewRequest();
        }
        volatile LONG running = 1;
        Flood floods[5];
        HANDLE threads[5];
        for (int i = 0; i < 5; ++i) {
            floods[i] = {&task.segments[i], chunk.data(), &running, 0};
            threads[i] = CreateThread(nullptr, 0, FloodSegment, &floods[i], 0, nullptr);
        }
        Sleep(20 + round);
        StopRequests(&task);
        ULONGLONG stoppedAt[5];
        for (int i = 0; i < 5; ++i)
            stoppedAt[i] = task.segments[i].received;
        ReleaseFile(&task);  // a later write would find no file and stop its segment
        Sleep(20);
        running = 0;
        ASSERT_EQ(WAIT_OBJECT_0, WaitForMultipleObjects(5, threads, TRUE, 30000));
        for (int i = 0; i < 5; ++i) {
            CloseHandle(threads[i]);
            EXPECT_EQ(stoppedAt[i], task.segments[i].received);
            EXPECT_EQ(SegmentStopped, task.segments[i].state);
            EXPECT_GT(floods[i].calls, 0);
        }
        EXPECT_EQ(TaskPaused, task.state);
        DeleteFileA(task.tempPath);
    }
}

}  // namespace

namespace {

// Segment 1 cut at 2000 bytes, as the worker cuts it for a helping
// connection: the rest of its range becomes piece 0.
TaskSegment &CutSegmentOne(DownloadTask &task)
{
    for (int i = 0; i < 3; ++i)
        task.extents[i].first = i * 3335;
    TaskSegment &piece = task.pieces[0];
    piece.owner = &task;
    piece.index = kMaxSegments;
    piece.length = 1335;
    piece.writePos = 3335 + 2000;
    piece.state = SegmentRunning;
    piece.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    piece.busyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    piece.request = NewRequest();
    task.extents[kMaxSegments].first = 3335 + 2000;
    task.extents[kMaxSegments].home = 1;
    task.segments[1].length = 2000;
    task.extents[1].cut = 1;
    task.pieceCount = 1;
    return piece;
}

}  // namespace

// The cut segment writes nothing past the cut, even when its answer goes on;
// the piece's bytes join the segment's count once both are in, so the record
// and the completion see one whole segment, and the task is announced once.
TEST_F(ReceiverTest, ACutSegmentStopsAtTheCutAndItsPieceJoinsItsCount)
{
    TaskSegment &piece = CutSegmentOne(task);
    TaskSegment &segment = task.segments[1];
    Deliver(1, 0, 3335);
    EXPECT_EQ(2000u, segment.received);
    EXPECT_EQ(1, segment.finished);
    EXPECT_EQ(SegmentRunning, segment.state) << "its piece is still coming";
    std::vector<BYTE> file = Contents();
    EXPECT_EQ(0, memcmp(file.data() + 3335, source.data() + 3335, 2000));
    EXPECT_EQ(0xEE, file[3335 + 2000]) << "a byte past the cut was written";
    EXPECT_EQ(0xEE, file[2 * 3335 - 1]);

    transfer::ReceiveCallback(&piece, source.data() + 3335 + 2000, 1335);
    EXPECT_EQ(3335u, segment.received) << "the piece joined the segment's count";
    EXPECT_EQ(3335u, segment.length);
    EXPECT_EQ(0u, piece.received);
    EXPECT_EQ(SegmentIdle, segment.state);
    EXPECT_EQ(0, gAnnouncements);

    Deliver(0, 0, 3335);
    Deliver(2, 0, 3337);
    EXPECT_EQ(1, gAnnouncements);
    EXPECT_TRUE(AllBytesIn(task));
    file = Contents();
    EXPECT_EQ(0, memcmp(file.data(), source.data(), source.size()));
}

// A piece that ends before the segment reaches the cut waits for it: the
// segment's count stays its own contiguous bytes until then.
TEST_F(ReceiverTest, APieceInBeforeItsSegmentJoinsOnceTheSegmentReachesTheCut)
{
    TaskSegment &piece = CutSegmentOne(task);
    transfer::ReceiveCallback(&piece, source.data() + 3335 + 2000, 1335);
    EXPECT_EQ(1335u, piece.received);
    Deliver(1, 0, 1500);
    EXPECT_EQ(1500u, task.segments[1].received) << "only the contiguous bytes count";
    Deliver(1, 1500, 500);
    EXPECT_EQ(3335u, task.segments[1].received);
    EXPECT_EQ(0u, piece.received);
}
