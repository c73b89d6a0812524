#include <gtest/gtest.h>
#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "tests/support/IniText.h"
#include "tests/support/TaskTable.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "util/ProfileUpdate.h"

using namespace testing_support;

namespace {

class TaskRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettingsAndTasks(); }
    void TearDown() override { ResetSettingsAndTasks(); }

    static void Describe(DownloadTask &task, const char *url, const char *tempPath, int connections)
    {
        task.ClearData();
        strcpy(task.url, url);
        strcpy(task.tempPath, tempPath);
        task.connectionCount = connections;
    }
};

TEST_F(TaskRecordsTest, SaveCopiesTheTasksKeysOneOffsetPerUsedSegment)
{
    DownloadTask task;
    Describe(task, "http://host/a.bin", "C:\\down/a.bin.hhh", 5);
    strcpy(task.proxy, "127.0.0.1:3128");
    strcpy(task.validator, "ETag: \"x\"");
    task.digest.algorithm = DigestSha256;
    task.digest.bytes[31] = 0xAB;
    task.digestSource = DigestFromHost;
    for (int i = 0; i < 5; ++i)
        task.segments[i].received = task.extents[i].flushed = 100 * (i + 1);
    SaveResumeRecord(task, 3);
    EXPECT_EQ((std::vector<std::string>{"OFFSET0", "OFFSET1", "OFFSET2", "OFFSET3", "OFFSET4", "MULTHREAD", "URLNAME",
                                        "DESTNAME", "PROXY", "PROXYPASSWORD", "VALIDATOR", "PIECES0", "PIECES1", "PIECES2",
                                        "PIECES3", "PIECES4", "PIECESOF", "DIGEST", "DIGESTFROM", "DIGESTOF"}),
              RecordKeys(3));
    EXPECT_EQ("500", RecordValue(3, "OFFSET4"));
    EXPECT_EQ("5", RecordValue(3, "MULTHREAD"));
    EXPECT_EQ("C:\\down/a.bin.hhh", RecordValue(3, "DESTNAME"));
    EXPECT_EQ("127.0.0.1:3128", RecordValue(3, "PROXY"));
    EXPECT_EQ("ETag: \"x\"", RecordValue(3, "VALIDATOR"));
    EXPECT_EQ("sha256:" + std::string(62, '0') + "ab", RecordValue(3, "DIGEST"));
    EXPECT_EQ("host", RecordValue(3, "DIGESTFROM"));

    // Segments beyond the connection count have no key; a section below 1
    // is no record.
    task.connectionCount = 1;
    SaveResumeRecord(task, 4);
    EXPECT_EQ((std::vector<std::string>{"OFFSET0", "MULTHREAD", "URLNAME", "DESTNAME", "PROXY", "PROXYPASSWORD",
                                        "VALIDATOR", "PIECES0", "PIECESOF", "DIGEST", "DIGESTFROM", "DIGESTOF"}),
              RecordKeys(4));
    std::string before = ReadWholeFile(SettingsFilePath());
    SaveResumeRecord(task, 0);
    EXPECT_EQ(before, ReadWholeFile(SettingsFilePath()));
}

// A count is claimed only as far as the file was flushed, and never above
// what the segment holds now (a new run may have started it over).
TEST_F(TaskRecordsTest, ARecordClaimsOnlyFlushedBytes)
{
    DownloadTask task;
    Describe(task, "http://host/a.bin", "a.bin.hhh", 3);
    const ULONGLONG received[3] = {1000, 500, 70}, flushed[3] = {600, 1200, 70};
    for (int i = 0; i < 3; ++i) {
        task.segments[i].received = received[i];
        task.extents[i].flushed = flushed[i];
    }
    SaveResumeRecord(task, 4);
    EXPECT_EQ("600", RecordValue(4, "OFFSET0"));
    EXPECT_EQ("500", RecordValue(4, "OFFSET1"));
    EXPECT_EQ("70", RecordValue(4, "OFFSET2"));
}

TEST_F(TaskRecordsTest, RestoreStartsATaskPerRecordInTheFreeSlots)
{
    WriteRecord(3, "2", kUnreachableUrl, "restored.bin.hhh");
    WriteRecordKey(3, "OFFSET1", "77");
    WriteRecordKey(3, "VALIDATOR", "ETag: \"v\"");
    WriteRecord(5, "1", kUnreachableUrl, "second.bin.hhh");
    // A task already live in slot 0 keeps it.
    DownloadTask live;
    gSlotTable.slots[0].task = &live;
    EXPECT_EQ(2, RestoreTasks(nullptr));
    gSlotTable.slots[0].task = nullptr;
    DownloadTask *task = gSlotTable.slots[1].task;
    ASSERT_NE(nullptr, task);
    EXPECT_EQ(1, task->slotIndex);
    EXPECT_EQ(3, task->resumeSection);
    EXPECT_EQ(3, TaskSection(*task));
    EXPECT_EQ(1, task->resumeFlag);
    EXPECT_EQ(2, task->connectionCount);
    EXPECT_EQ(77u, task->segments[1].received);
    EXPECT_STREQ("ETag: \"v\"", task->validator);
    EXPECT_STREQ("restored.bin.hhh", task->tempPath);
    EXPECT_NE(nullptr, task->sectionClaim);
    EXPECT_NE(nullptr, task->pathClaim);
    EXPECT_EQ(16u, strlen(task->startTime));
    ASSERT_NE(nullptr, gSlotTable.slots[2].task);
    EXPECT_EQ(5, gSlotTable.slots[2].task->resumeSection);
    EXPECT_TRUE(WorkerEnded(1));
    EXPECT_TRUE(WorkerEnded(2));
    EXPECT_EQ(TaskIdle, task->state);  // nothing answers at that address
    // The record still describes the download, also after a save before
    // this host flushed anything (the timer's refresh, a Pause, a Quit).
    EXPECT_EQ("77", RecordValue(3, "OFFSET1"));
    SaveResumeRecord(*task, TaskSection(*task));
    PauseTask(1);
    EXPECT_EQ("77", RecordValue(3, "OFFSET1"));
}

TEST_F(TaskRecordsTest, RestoringNothingChangesNothing)
{
    EXPECT_EQ(0, RestoreTasks(nullptr));
    for (const TaskSlot &slot : gSlotTable.slots)
        EXPECT_EQ(nullptr, slot.task);
}

DWORD WINAPI HoldUpdateLock(void *taken)
{
    ProfileUpdateLock lock;
    SetEvent(static_cast<HANDLE>(taken));
    Sleep(1500);
    return 0;
}

// The window's periodic refresh never waits for another host's update: it
// leaves the record for the next tick, which writes it.
TEST_F(TaskRecordsTest, ARefreshSkipsARecordWhileAnotherUpdateHoldsTheLock)
{
    DownloadTask task;
    Describe(task, "http://host/running.bin", "running.bin.hhh", 1);
    task.totalSize = 1000;
    task.state = TaskDownloading;
    task.resumeSection = 4;
    task.segments[0].received = task.extents[0].flushed = 300;
    gSlotTable.slots[0].task = &task;

    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE holder = CreateThread(nullptr, 0, HoldUpdateLock, taken, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken, 10000));
    DWORD start = GetTickCount();
    RefreshResumeRecords();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ("<absent>", RecordValue(4, "OFFSET0"));
    WaitForSingleObject(holder, INFINITE);
    CloseHandle(holder);
    CloseHandle(taken);

    // A later tick writes it. Other test programs update their own profile
    // files under the same lock now and then, so a tick may still find it
    // taken: the ticks go on, as the window's timer does.
    for (int tick = 0; tick < 50 && RecordValue(4, "OFFSET0") != "300"; ++tick) {
        RefreshResumeRecords();
        Sleep(tick == 0 ? 0 : 100);
    }
    EXPECT_EQ("300", RecordValue(4, "OFFSET0"));
    gSlotTable.slots[0].task = nullptr;
}

}  // namespace
