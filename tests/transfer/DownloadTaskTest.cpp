#include <gtest/gtest.h>
#include <windows.h>

#include <new>

#include "tests/support/TaskTable.h"
#include "transfer/DownloadTask.h"
#include "transfer/TaskSlotTable.h"

namespace {

class SlotTableTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSlotTable(); }
    void TearDown() override
    {
        for (TaskSlot &slot : gSlotTable.slots)
            delete slot.task;
        ClearSlotTable();
    }

    DownloadTask *Place(int slot) { return testing_support::PutNewTask(slot, "", 0); }
};

TEST_F(SlotTableTest, FreeSlotReadsZeroOfZero)
{
    for (int slot = 0; slot < kSlotCount; ++slot) {
        EXPECT_EQ(0u, ReceivedBytes(slot));
        EXPECT_EQ(0u, TotalBytes(slot));
    }
    EXPECT_EQ(0u, ReceivedBytes(-1));
    EXPECT_EQ(0u, TotalBytes(3));
}

TEST_F(SlotTableTest, ReceivedBytesCountsOnlyTheUsedSegments)
{
    DownloadTask *task = Place(1);
    task->connectionCount = 3;
    task->totalSize = 10007;
    DWORD received[kMaxSegments] = {100, 200, 300, 400, 500};
    for (int i = 0; i < kMaxSegments; ++i)
        task->segments[i].received = received[i];
    EXPECT_EQ(600u, ReceivedBytes(1));
    EXPECT_EQ(10007u, TotalBytes(1));
    EXPECT_EQ(0u, ReceivedBytes(0));

    task->connectionCount = 0;
    EXPECT_EQ(0u, ReceivedBytes(1));
    task->connectionCount = -2;
    EXPECT_EQ(0u, ReceivedBytes(1));
    task->connectionCount = 9;  // never beyond the five records
    EXPECT_EQ(1500u, ReceivedBytes(1));
}

TEST_F(SlotTableTest, ReceivedBytesAndTotalGoPastFourGigabytes)
{
    DownloadTask *task = Place(2);
    task->connectionCount = 2;
    task->totalSize = 5368709127ull;
    task->segments[0].received = 0xFFFFFFF0u;
    task->segments[1].received = 0x100000020ull;
    EXPECT_EQ(0x200000010ull, ReceivedBytes(2));
    EXPECT_EQ(5368709127ull, TotalBytes(2));
}

TEST_F(SlotTableTest, ClearingTheTableLeavesTasksAlone)
{
    DownloadTask *task = Place(0);
    strcpy(task->url, "http://x/");
    ClearSlotTable();
    EXPECT_EQ(nullptr, gSlotTable.slots[0].task);
    EXPECT_STREQ("http://x/", task->url);
    delete task;  // still alive: the table only forgot it
}

int StatusOf(std::initializer_list<LONG> states)
{
    DownloadTask task;
    task.ClearData();
    task.connectionCount = static_cast<LONG>(states.size());
    int i = 0;
    for (LONG state : states)
        task.segments[i++].state = state;
    return AggregateStatus(task);
}

TEST(AggregateStatus, SummarisesTheUsedSegments)
{
    EXPECT_EQ(AggregateMixed, StatusOf({SegmentRunning, SegmentIdle, SegmentRunning}));
    EXPECT_EQ(AggregateAllStopped, StatusOf({SegmentStopped, SegmentStopped}));
    EXPECT_EQ(AggregateAllRunning, StatusOf({SegmentRunning, SegmentRunning, SegmentRunning, SegmentRunning, SegmentRunning}));
    EXPECT_EQ(AggregateNothingActive, StatusOf({SegmentIdle, SegmentIdle, SegmentIdle}));
    EXPECT_EQ(AggregateMixed, StatusOf({SegmentStopped, SegmentRunning}));
    EXPECT_EQ(AggregateMixed, StatusOf({SegmentPrepared, SegmentRunning}));
    EXPECT_EQ(AggregateMixed, StatusOf({SegmentPrepared}));
    EXPECT_EQ(AggregateNothingActive, StatusOf({}));
}

TEST(AggregateStatus, IgnoresSegmentsBeyondTheConnectionCount)
{
    DownloadTask task;
    task.ClearData();
    task.connectionCount = 2;
    task.segments[0].state = SegmentRunning;
    task.segments[1].state = SegmentRunning;
    task.segments[2].state = SegmentStopped;
    EXPECT_EQ(AggregateAllRunning, AggregateStatus(task));
    task.connectionCount = 0;
    EXPECT_EQ(AggregateNothingActive, AggregateStatus(task));
}

TEST(DownloadTask, ConstructionLeavesHandlesNullAndSegmentsIdle)
{
    DownloadTask task;
    EXPECT_EQ(nullptr, task.fileHandle);
    EXPECT_EQ(nullptr, task.threadHandle);
    for (const TaskSegment &segment : task.segments)
        EXPECT_EQ(SegmentIdle, segment.state);
    // The lock works.
    EXPECT_TRUE(TryEnterCriticalSection(&task.lock));
    LeaveCriticalSection(&task.lock);
}

// Made over memory that held something else, a task starts from nothing:
// its record part and every figure of a run, not only its handles.
TEST(DownloadTask, ConstructionSetsEveryField)
{
    alignas(DownloadTask) unsigned char memory[sizeof(DownloadTask)];
    memset(memory, 0xCC, sizeof(memory));
    DownloadTask *task = new (memory) DownloadTask();
    EXPECT_EQ('\0', task->url[0]);
    EXPECT_EQ('\0', task->tempPath[0]);
    EXPECT_EQ(0, task->connectionCount);
    EXPECT_EQ(0u, task->totalSize);
    EXPECT_EQ(0, task->resumeSection);
    EXPECT_EQ(0u, task->segments[4].received);
    EXPECT_EQ(0u, task->run.helpAfter);
    EXPECT_EQ(0, task->run.helpBarred);
    EXPECT_EQ(0u, task->run.burstBytes);
    EXPECT_EQ(0u, task->run.heldRate);
    task->~DownloadTask();
}

TEST(DownloadTask, ClearDataZeroesTheDataPartOnly)
{
    DownloadTask task;
    HANDLE marker = reinterpret_cast<HANDLE>(0x1234);
    task.fileHandle = marker;
    memset(task.url, 'x', sizeof(task.url));
    task.segments[4].finished = 1;
    task.ClearData();
    EXPECT_EQ('\0', task.url[sizeof(task.url) - 1]);
    EXPECT_EQ(0, task.segments[4].finished);
    EXPECT_EQ(marker, task.fileHandle);
}

TEST(StartWorker, RunsTheWorkerOnItsOwnThread)
{
    DownloadTask task;
    task.ClearData();
    task.state = TaskIdle;
    ASSERT_EQ(1, StartWorker(&task));
    ASSERT_NE(nullptr, task.threadHandle);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(task.threadHandle, 10000));
    DWORD exitCode = 99;
    GetExitCodeThread(task.threadHandle, &exitCode);
    EXPECT_EQ(0u, exitCode);
    CloseHandle(task.threadHandle);
}

}  // namespace
