#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "plugin/ProcessState.h"
#include "store/ResumeRecords.h"
#include "tests/support/IniText.h"
#include "tests/support/TaskTable.h"
#include "util/ProfileUpdate.h"
#include "transfer/TaskClaims.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskSlotTable.h"

using namespace testing_support;

namespace {

class ResumeRecordsTest : public ::testing::Test {
protected:
    void SetUp() override { ResetSettingsAndTasks(); }
    void TearDown() override { ResetSettingsAndTasks(); }

    void Write(int section, const char *key, const char *value)
    {
        char name[16];
        snprintf(name, sizeof(name), "FILE%d", section);
        WritePrivateProfileStringA(name, key, value, "KELMORA.ini");
    }

    void WriteRecord(int section, const char *connections, const char *url, const char *tempPath)
    {
        Write(section, "MULTHREAD", connections);
        Write(section, "URLNAME", url);
        Write(section, "DESTNAME", tempPath);
    }

    std::string Value(int section, const char *key)
    {
        return ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), key);
    }

    std::vector<std::string> Keys(int section) { return SectionKeys(SettingsFilePath(), "FILE" + std::to_string(section)); }
};

TEST_F(ResumeRecordsTest, SaveWritesOneOffsetPerConnectionThenTheTexts)
{
    DownloadTask task;
    task.ClearData();
    strcpy(task.url, "http://host/a.bin");
    strcpy(task.tempPath, "C:\\down/a.bin.hhh");
    task.connectionCount = 1;
    task.segments[0].received = task.flushed[0] = 4000000000u;
    task.segments[1].received = task.flushed[1] = 7;
    SaveResumeRecord(task, 2);
    EXPECT_EQ((std::vector<std::string>{"OFFSET0", "MULTHREAD", "URLNAME", "DESTNAME", "PROXY", "VALIDATOR"}), Keys(2));
    EXPECT_EQ("4000000000", Value(2, "OFFSET0"));
    EXPECT_EQ("1", Value(2, "MULTHREAD"));
    EXPECT_EQ("http://host/a.bin", Value(2, "URLNAME"));
    EXPECT_EQ("C:\\down/a.bin.hhh", Value(2, "DESTNAME"));
    EXPECT_EQ("", Value(2, "PROXY"));

    task.connectionCount = 5;
    strcpy(task.proxy, "127.0.0.1:3128");
    strcpy(task.validator, "ETag: \"x\"");
    for (int i = 0; i < 5; ++i)
        task.segments[i].received = task.flushed[i] = 100 * (i + 1);
    SaveResumeRecord(task, 3);
    EXPECT_EQ((std::vector<std::string>{"OFFSET0", "OFFSET1", "OFFSET2", "OFFSET3", "OFFSET4", "MULTHREAD", "URLNAME",
                                        "DESTNAME", "PROXY", "VALIDATOR"}),
              Keys(3));
    EXPECT_EQ("500", Value(3, "OFFSET4"));
    EXPECT_EQ("127.0.0.1:3128", Value(3, "PROXY"));
    EXPECT_EQ("ETag: \"x\"", Value(3, "VALIDATOR"));
}

// A count is claimed only as far as the file was flushed, and never above
// what the segment holds now (a new run may have started it over).
TEST_F(ResumeRecordsTest, ARecordClaimsOnlyFlushedBytes)
{
    DownloadTask task;
    task.ClearData();
    strcpy(task.url, "http://host/a.bin");
    strcpy(task.tempPath, "a.bin.hhh");
    task.connectionCount = 3;
    const ULONGLONG received[3] = {1000, 500, 70}, flushed[3] = {600, 1200, 70};
    for (int i = 0; i < 3; ++i) {
        task.segments[i].received = received[i];
        task.flushed[i] = flushed[i];
    }
    SaveResumeRecord(task, 4);
    EXPECT_EQ("600", Value(4, "OFFSET0"));
    EXPECT_EQ("500", Value(4, "OFFSET1"));
    EXPECT_EQ("70", Value(4, "OFFSET2"));
}

TEST_F(ResumeRecordsTest, ClearBlanksEveryKeyAndKeepsThem)
{
    WriteRecord(1, "2", "http://host/a", "a.hhh");
    ClearResumeRecord(1);
    EXPECT_EQ((std::vector<std::string>{"MULTHREAD", "URLNAME", "DESTNAME", "SINGLEOFFSET", "OFFSET0", "OFFSET1",
                                        "OFFSET2", "OFFSET3", "OFFSET4", "PROXY", "VALIDATOR"}),
              Keys(1));
    EXPECT_EQ("0", Value(1, "MULTHREAD"));
    EXPECT_EQ("", Value(1, "URLNAME"));
    EXPECT_EQ("0", Value(1, "SINGLEOFFSET"));
    EXPECT_EQ(0, LoadResumeRecords());

    // Beyond the sections records may use, nothing is touched.
    std::string before = ReadWholeFile(SettingsFilePath());
    ClearResumeRecord(kResumeSectionLimit + 1);
    ClearResumeRecord(0);
    EXPECT_EQ(before, ReadWholeFile(SettingsFilePath()));
}

TEST_F(ResumeRecordsTest, LoadFillsConsecutiveFreeSlotsInSectionOrder)
{
    WriteRecord(1, "3", "", "x.hhh");  // no URL: not a record
    WriteRecord(2, "2", "http://host/two", "two.hhh");
    Write(2, "OFFSET0", "11");
    Write(2, "OFFSET1", "22");
    Write(2, "PROXY", "proxy:8080");
    WriteRecord(3, "5", "http://host/three", "three.hhh");
    for (int i = 0; i < 5; ++i)
        Write(3, ("OFFSET" + std::to_string(i)).c_str(), std::to_string(1000 + i).c_str());

    EXPECT_EQ(2, LoadResumeRecords());
    const ResumeRecord &first = gSlotTable.slots[0].image;
    EXPECT_STREQ("http://host/two", first.url);
    EXPECT_STREQ("two.hhh", first.tempPath);
    EXPECT_STREQ("proxy:8080", first.proxy);
    EXPECT_EQ(2, first.connectionCount);
    EXPECT_EQ(11u, first.segments[0].received);
    EXPECT_EQ(22u, first.segments[1].received);
    EXPECT_EQ(2, first.resumeSection);
    EXPECT_EQ(1, first.resumeFlag);
    const ResumeRecord &second = gSlotTable.slots[1].image;
    EXPECT_EQ(3, second.resumeSection);
    EXPECT_STREQ("", second.proxy);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(1000u + i, second.segments[i].received);
    EXPECT_EQ(0, gSlotTable.slots[2].loaded.present);
}

TEST_F(ResumeRecordsTest, OffsetsPastThirtyTwoBitsKeepTheirDigitsAndBadOnesLoadAsZero)
{
    DownloadTask task;
    task.ClearData();
    strcpy(task.url, "http://host/film.bin");
    strcpy(task.tempPath, "film.bin.hhh");
    task.connectionCount = 5;
    const ULONGLONG counts[5] = {2147483647u, 2147483648u, 4294967296ull, 4294979641ull, 1ull << 40};
    for (int i = 0; i < 5; ++i)
        task.segments[i].received = task.flushed[i] = counts[i];
    SaveResumeRecord(task, 1);
    EXPECT_EQ("2147483647", Value(1, "OFFSET0"));
    EXPECT_EQ("2147483648", Value(1, "OFFSET1"));
    EXPECT_EQ("4294967296", Value(1, "OFFSET2"));
    EXPECT_EQ("4294979641", Value(1, "OFFSET3"));
    EXPECT_EQ("1099511627776", Value(1, "OFFSET4"));

    WriteRecord(2, "5", "http://host/bad.bin", "bad.hhh");
    const char *bad[5] = {"12abc", "-5", "18446744073709551616", "", " 42 "};
    for (int i = 0; i < 5; ++i)
        Write(2, ("OFFSET" + std::to_string(i)).c_str(), bad[i]);

    EXPECT_EQ(2, LoadResumeRecords());
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(counts[i], gSlotTable.slots[0].image.segments[i].received) << i;
    const ResumeRecord &second = gSlotTable.slots[1].image;
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(0u, second.segments[i].received) << bad[i];
    EXPECT_EQ(42u, second.segments[4].received);
}

TEST_F(ResumeRecordsTest, ConnectionCountsOutsideOneToFiveAreNoRecord)
{
    WriteRecord(1, "7", "http://host/seven", "seven.hhh");
    WriteRecord(2, "-1", "http://host/minus", "minus.hhh");
    WriteRecord(3, "5", "http://host/five", "five.hhh");
    EXPECT_EQ(1, LoadResumeRecords());
    EXPECT_EQ(3, gSlotTable.slots[0].image.resumeSection);
}

// A record is only a hint about a file the plug-in itself created: one that
// names anything else (hand-edited, damaged) is skipped like an incomplete one.
// Only the file name is the plug-in's: the folder before it is the user's,
// ".." and all, as Windows resolves it.
TEST_F(ResumeRecordsTest, RecordsThatNameNoTemporaryFileAreNotRestored)
{
    const char *damaged[] = {"C:\\windows\\system.ini", "C:\\down\\a.bin",   "C:\\down\\CON.hhh",
                             "C:\\down\\com1.txt.hhh",  "C:\\down\\a. .hhh", "\\\\.\\pipe\\x.hhh"};
    int section = 1;
    for (const char *path : damaged) {
        WriteRecord(section, "1", ("http://host/" + std::to_string(section)).c_str(), path);
        ++section;
    }
    WriteRecord(section, "1", "http://host/good", "C:\\down\\good.bin.hhh");
    WriteRecord(section + 1, "1", "http://host/climbing", "C:\\down\\..\\up\\good.bin.hhh");
    EXPECT_EQ(2, LoadResumeRecords());
    EXPECT_EQ(section, gSlotTable.slots[0].image.resumeSection);
    EXPECT_STREQ("C:\\down\\good.bin.hhh", gSlotTable.slots[0].image.tempPath);
    EXPECT_STREQ("C:\\down\\..\\up\\good.bin.hhh", gSlotTable.slots[1].image.tempPath);
    EXPECT_EQ(0, gSlotTable.slots[2].loaded.present);
}

// Records pile up beyond the ninth section (several hosts, downloads
// started before a restore): every one is found again, in section order.
TEST_F(ResumeRecordsTest, RecordsBeyondTheNinthSectionAreLoaded)
{
    for (int section = 1; section <= 12; ++section)
        WriteRecord(section, "1", ("http://host/" + std::to_string(section)).c_str(),
                    (std::to_string(section) + ".hhh").c_str());
    WriteRecord(40, "1", "http://host/40", "40.hhh");  // after a gap
    // Another host runs FILE1 .. FILE10.
    std::vector<HANDLE> elsewhere;
    for (int section = 1; section <= 10; ++section)
        elsewhere.push_back(ClaimResumeSection(section));
    EXPECT_EQ(3, LoadResumeRecords());
    EXPECT_EQ(11, gSlotTable.slots[0].image.resumeSection);
    EXPECT_EQ(12, gSlotTable.slots[1].image.resumeSection);
    EXPECT_EQ(40, gSlotTable.slots[2].image.resumeSection);
    EXPECT_STREQ("http://host/40", gSlotTable.slots[2].image.url);
    for (HANDLE &claim : elsewhere)
        ReleaseClaim(claim);
}

TEST_F(ResumeRecordsTest, RecordsWithoutAFreeSlotWaitForTheNextRestore)
{
    for (int section = 1; section <= 5; ++section)
        WriteRecord(section, "1", ("http://host/" + std::to_string(section)).c_str(),
                    (std::to_string(section) + ".hhh").c_str());
    std::string before = ReadWholeFile(SettingsFilePath());
    EXPECT_EQ(3, LoadResumeRecords());
    EXPECT_EQ(3, gSlotTable.slots[2].image.resumeSection);
    ClearSlotTable();  // gives the claims back
    EXPECT_EQ(before, ReadWholeFile(SettingsFilePath()));
    EXPECT_EQ(3, LoadResumeRecords());
}

TEST_F(ResumeRecordsTest, ARecordInUseElsewhereIsNotLoadedAgain)
{
    WriteRecord(1, "1", "http://host/one", "one.hhh");
    WriteRecord(2, "1", "http://host/two", "two.hhh");
    WriteRecord(3, "1", "http://host/three", "one.hhh");  // writes another task's file
    // As a second host running FILE1 would.
    HANDLE heldElsewhere = ClaimResumeSection(1);
    HANDLE fileHeldElsewhere = ClaimTempPath("one.hhh");
    ASSERT_NE(nullptr, heldElsewhere);
    EXPECT_EQ(1, LoadResumeRecords());
    EXPECT_EQ(2, gSlotTable.slots[0].image.resumeSection);
    ReleaseClaim(heldElsewhere);
    ReleaseClaim(fileHeldElsewhere);
    ClearSlotTable();

    // A task already live in slot 0 keeps it; the record goes to slot 1.
    DownloadTask live;
    gSlotTable.slots[0].task = &live;
    EXPECT_EQ(2, LoadResumeRecords());
    EXPECT_EQ(1, gSlotTable.slots[1].image.resumeSection);
    EXPECT_EQ(2, gSlotTable.slots[2].image.resumeSection);
    gSlotTable.slots[0].task = nullptr;
}

TEST_F(ResumeRecordsTest, RestoreStartsATaskPerRecordInItsSlot)
{
    WriteRecord(3, "2", kUnreachableUrl, "restored.bin.hhh");
    Write(3, "OFFSET1", "77");
    gProcess.displayedTask = 3;
    EXPECT_EQ(1, RestoreTasks(nullptr));
    DownloadTask *task = gSlotTable.slots[0].task;
    ASSERT_NE(nullptr, task);
    EXPECT_EQ(0, task->slotIndex);
    EXPECT_EQ(3, task->resumeSection);
    EXPECT_EQ(3, TaskSection(*task));
    EXPECT_EQ(1, task->resumeFlag);
    EXPECT_EQ(77u, task->segments[1].received);
    EXPECT_EQ(16u, strlen(task->startTime));
    EXPECT_EQ(1, gProcess.displayedTask);
    EXPECT_TRUE(WorkerEnded(0));
    EXPECT_EQ(TaskIdle, task->state);  // nothing answers at that address
    // The record still describes the download.
    EXPECT_EQ("77", Value(3, "OFFSET1"));
}

TEST_F(ResumeRecordsTest, RestoringNothingChangesNothing)
{
    gProcess.displayedTask = 2;
    EXPECT_EQ(0, RestoreTasks(nullptr));
    EXPECT_EQ(2, gProcess.displayedTask);
    for (const TaskSlot &slot : gSlotTable.slots)
        EXPECT_EQ(nullptr, slot.task);
    gProcess.displayedTask = 1;
}

// Ten waiting records and a new task: it takes FILE11, its saves land there,
// and a later restore finds it.
TEST_F(ResumeRecordsTest, ANewTaskBesideTenRecordsKeepsItsProgress)
{
    for (int section = 1; section <= 10; ++section)
        WriteRecord(section, "1", ("http://host/" + std::to_string(section)).c_str(),
                    (std::to_string(section) + ".hhh").c_str());
    int section = 0;
    HANDLE claim = ClaimFreeResumeSection(&section);
    ASSERT_NE(nullptr, claim);
    EXPECT_EQ(11, section);
    DownloadTask task;
    task.ClearData();
    strcpy(task.url, "http://host/new.bin");
    strcpy(task.tempPath, "new.bin.hhh");
    task.connectionCount = 2;
    task.segments[0].received = task.flushed[0] = 1234;
    task.segments[1].received = task.flushed[1] = 5678;
    SaveResumeRecord(task, section);
    EXPECT_EQ("http://host/new.bin", Value(11, "URLNAME"));
    ReleaseClaim(claim);  // the host ends

    std::vector<HANDLE> elsewhere;
    for (int n = 1; n <= 10; ++n)
        elsewhere.push_back(ClaimResumeSection(n));
    EXPECT_EQ(1, LoadResumeRecords());
    const ResumeRecord &image = gSlotTable.slots[0].image;
    EXPECT_STREQ("http://host/new.bin", image.url);
    EXPECT_EQ(11, image.resumeSection);
    EXPECT_EQ(1234u, image.segments[0].received);
    EXPECT_EQ(5678u, image.segments[1].received);
    for (HANDLE &held : elsewhere)
        ReleaseClaim(held);
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
TEST_F(ResumeRecordsTest, ARefreshSkipsARecordWhileAnotherUpdateHoldsTheLock)
{
    DownloadTask task;
    task.ClearData();
    strcpy(task.url, "http://host/running.bin");
    strcpy(task.tempPath, "running.bin.hhh");
    task.connectionCount = 1;
    task.totalSize = 1000;
    task.state = TaskDownloading;
    task.resumeSection = 4;
    task.segments[0].received = task.flushed[0] = 300;
    gSlotTable.slots[0].task = &task;

    HANDLE taken = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE holder = CreateThread(nullptr, 0, HoldUpdateLock, taken, 0, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(taken, 10000));
    DWORD start = GetTickCount();
    RefreshResumeRecords();
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_EQ("<absent>", Value(4, "OFFSET0"));
    WaitForSingleObject(holder, INFINITE);
    CloseHandle(holder);
    CloseHandle(taken);

    RefreshResumeRecords();
    EXPECT_EQ("300", Value(4, "OFFSET0"));
    gSlotTable.slots[0].task = nullptr;
}

TEST_F(ResumeRecordsTest, NewTasksTakeASectionNoRecordOrLiveTaskUses)
{
    WriteRecord(1, "1", "http://host/one", "one.hhh");
    HANDLE heldElsewhere = ClaimResumeSection(2);
    int section = 0;
    HANDLE claim = ClaimFreeResumeSection(&section);
    EXPECT_EQ(3, section);
    int next = 0;
    HANDLE nextClaim = ClaimFreeResumeSection(&next);
    EXPECT_EQ(4, next);
    ReleaseClaim(claim);
    ReleaseClaim(nextClaim);
    ReleaseClaim(heldElsewhere);
}

}  // namespace
