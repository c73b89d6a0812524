// Files of gigabytes through the whole engine: sizes on both sides of 2^31
// and 2^32 from a server that computes its bytes (tests/peers/
// generated-server.py) and from nginx, a pause and a killed host past 2^32,
// and a destination on a 64 MiB disk (drive R:, a tmpfs). Each copy is
// compared with the generator or with the served file, piece by piece.
// The largest cases run only with RAVLIX_LONG_RUN=1 (see README).
#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "peers/PeerFiles.h"
#include "store/HistoryStore.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/TaskHost.h"
#include "transfer/TaskRecords.h"

using namespace testing_support;

namespace {

const ULONGLONG kTwoGiB = 1ull << 31;
const ULONGLONG kFourGiB = 1ull << 32;
const ULONGLONG kFiveGiBAndSeven = 5 * (1ull << 30) + 7;
const DWORD kLongWaitMs = 280000;

bool LongRun()
{
    const char *value = getenv("RAVLIX_LONG_RUN");
    return value && strcmp(value, "1") == 0;
}

std::string Generated(ULONGLONG size, const char *prefix = "")
{
    return PeerUrl("RAVLIX_GENERATED_PORT", (std::string(prefix) + "/gen/" + std::to_string(size) + ".bin").c_str());
}

ULONGLONG RecordedOffset(int section, int segment)
{
    std::string text = ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section),
                                    ("OFFSET" + std::to_string(segment)).c_str());
    return strtoull(text.c_str(), nullptr, 10);
}

// "" when the two files hold the same bytes, else where they first differ.
std::string DifferenceBetweenFiles(const std::string &a, const std::string &b)
{
    HANDLE files[2];
    files[0] = CreateFileA(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    files[1] = CreateFileA(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string difference;
    LARGE_INTEGER sizes[2] = {};
    for (int i = 0; i < 2; ++i) {
        if (files[i] == INVALID_HANDLE_VALUE)
            difference = "cannot open " + std::string(i ? b : a);
        else
            GetFileSizeEx(files[i], &sizes[i]);
    }
    if (difference.empty() && sizes[0].QuadPart != sizes[1].QuadPart)
        difference = "sizes " + std::to_string(sizes[0].QuadPart) + " and " + std::to_string(sizes[1].QuadPart);
    const DWORD piece = 4u << 20;
    std::vector<BYTE> one(piece), two(piece);
    for (ULONGLONG at = 0; difference.empty() && at < static_cast<ULONGLONG>(sizes[0].QuadPart); at += piece) {
        DWORD read[2] = {};
        ReadFile(files[0], one.data(), piece, &read[0], nullptr);
        ReadFile(files[1], two.data(), piece, &read[1], nullptr);
        if (read[0] != read[1] || memcmp(one.data(), two.data(), read[0]) != 0)
            difference = "they differ in the 4 MiB from " + std::to_string(at);
    }
    for (HANDLE file : files) {
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
    }
    return difference;
}

ULONGLONG FileSize(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return ~0ull;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

class BigFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[MAX_PATH];
        HistoryFilePath(path, sizeof(path));
        DeleteFileA(path);
    }

    // Downloads url into the first slot and checks the copy against check().
    void Fetch(const std::string &url, ULONGLONG size, int connections,
               const std::function<std::string(const std::string &)> &check)
    {
        SCOPED_TRACE(url + " with " + std::to_string(connections) + " connections");
        TaskHost host;
        std::string name = "big" + std::to_string(connections) + ".bin";
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, name.c_str(), connections));
        bool finished = TaskHost::WaitFinalized(0, kLongWaitMs);
        std::string path = host.PathOf(name.c_str());
        if (finished) {
            EXPECT_EQ(1, TaskHost::completions);
            EXPECT_EQ(size, FileSize(path));
            EXPECT_EQ("", check(path));
            EXPECT_FALSE(FileExists(path + ".hhh"));
        }
        DeleteFileA(path.c_str());
        ResetSettingsAndTasks();
        DeleteFileA((path + ".hhh").c_str());
        ASSERT_TRUE(finished);
    }

    void FetchGenerated(ULONGLONG size, int connections, const char *prefix = "")
    {
        Fetch(Generated(size, prefix), size, connections, [size](const std::string &path) {
            return DifferenceFromGenerated(path, 0, size, size);
        });
    }
};

TEST_F(BigFileTest, GeneratedFilePastFourGigabytesWithFiveConnections)
{
    // With its digest in Repr-Digest: the hash follows the file past 2^32.
    FetchGenerated(kFourGiB + 12345, 5, "/digest/sha256");
}

// Each size with one and with five connections; one size per case, so that
// each stays inside the test time-out.
TEST_F(BigFileTest, GeneratedFileJustBelowTwoGigabytes)
{
    if (!LongRun())
        GTEST_SKIP() << "long run only (RAVLIX_LONG_RUN=1)";
    for (int connections : {1, 5})
        FetchGenerated(kTwoGiB - 1, connections);
}

TEST_F(BigFileTest, GeneratedFileOfTwoGigabytes)
{
    if (!LongRun())
        GTEST_SKIP() << "long run only (RAVLIX_LONG_RUN=1)";
    for (int connections : {1, 5})
        FetchGenerated(kTwoGiB, connections);
}

TEST_F(BigFileTest, GeneratedFilePastFourGigabytesWithOneConnection)
{
    if (!LongRun())
        GTEST_SKIP() << "long run only (RAVLIX_LONG_RUN=1)";
    FetchGenerated(kFourGiB + 12345, 1);
}

TEST_F(BigFileTest, GeneratedFileOfFiveGigabytes)
{
    if (!LongRun())
        GTEST_SKIP() << "long run only (RAVLIX_LONG_RUN=1)";
    for (int connections : {1, 5})
        FetchGenerated(kFiveGiBAndSeven, connections);
}

// nginx's own range and length code over a sparse file with random markers
// across 2^31 and 2^32 (tests/peers/bigfiles.sh).
TEST_F(BigFileTest, NginxFileWithMarkersAcrossTwoAndFourGigabytes)
{
    if (!LongRun())
        GTEST_SKIP() << "long run only (RAVLIX_LONG_RUN=1)";
    const char *root = getenv("RAVLIX_PEER_ROOT");
    ASSERT_NE(nullptr, root);
    std::string source = std::string("Z:") + root + "/sparse.bin";
    for (int connections : {1, 5})
        Fetch(PeerUrl("RAVLIX_NGINX_PORT", "/sparse.bin"), kFourGiB + 65537, connections,
              [&source](const std::string &path) { return DifferenceBetweenFiles(path, source); });
}

// Paused when the last segment, which starts at 4 GiB, is under way: the
// record holds each segment's count, the bytes so far are right, and a start
// goes on from the counts.
TEST_F(BigFileTest, APausePastFourGigabytesKeepsTheCountsAndStartFinishes)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Generated(kFiveGiBAndSeven), "paused.bin", 5));
    DownloadTask *task = gSlotTable.slots[0].task;
    int section = TaskSection(*task);
    std::string temp = host.PathOf("paused.bin.hhh");
    ASSERT_TRUE(TaskHost::PumpUntil([task] { return LoadWord(task->segments[4].received) > (64u << 20); }, kLongWaitMs));
    PauseTask(0);
    ASSERT_EQ(TaskPaused, task->state);
    ASSERT_GE(4 * task->segmentSize, kFourGiB) << "the last segment starts past 2^32";
    ULONGLONG counts[5];
    for (int i = 0; i < 5; ++i) {
        counts[i] = task->segments[i].received;
        EXPECT_EQ(std::to_string(counts[i]), ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section),
                                                          ("OFFSET" + std::to_string(i)).c_str()));
        ULONGLONG start = i * task->segmentSize;
        EXPECT_EQ("", DifferenceFromGenerated(temp, start, start + counts[i])) << "segment " << i;
    }
    Sleep(300);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(counts[i], task->segments[i].received) << "nothing arrives while paused";

    StartTask(0);
    ASSERT_TRUE(TaskHost::PumpUntil([task] { return LoadWord(task->segments[4].received) > 0; }, 10000));
    bool finished = TaskHost::WaitFinalized(0, kLongWaitMs);
    std::string path = host.PathOf("paused.bin");
    if (finished) {
        EXPECT_EQ("", DifferenceFromGenerated(path, 0, kFiveGiBAndSeven, kFiveGiBAndSeven));
    }
    DeleteFileA(path.c_str());
    ASSERT_TRUE(finished);
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "MULTHREAD"));
}

// One connection, so that the one count passes 2^32: its OFFSET text is a
// number past 32 bits, and the next host resumes from it.
TEST_F(BigFileTest, AHostKilledPastFourGigabytesIsResumedFromItsRecord)
{
    TaskHost host;
    ChildProcess other("KillableHost.exe " + Generated(kFiveGiBAndSeven) + " killed.bin 1");
    ASSERT_TRUE(other.started);
    bool progressed = TaskHost::PumpUntil([] { return RecordedOffset(1, 0) > kFourGiB + (64u << 20); }, kLongWaitMs);
    other.Kill();
    ASSERT_TRUE(progressed);
    std::string text = ProfileValue(SettingsFilePath(), "FILE1", "OFFSET0");
    ULONGLONG recorded = RecordedOffset(1, 0);
    EXPECT_EQ(std::to_string(recorded), text);
    EXPECT_GT(recorded, kFourGiB);
    std::string temp = host.PathOf("killed.bin.hhh");
    EXPECT_EQ("", DifferenceFromGenerated(temp, 0, recorded, kFiveGiBAndSeven));

    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    DownloadTask *task = gSlotTable.slots[0].task;
    ASSERT_TRUE(TaskHost::PumpUntil([task] { return LoadWord(task->segments[0].received) > 0; }, 30000));
    EXPECT_GE(ReceivedBytes(0), recorded) << "resumed, not started over";
    bool finished = TaskHost::WaitFinalized(0, kLongWaitMs);
    std::string path = host.PathOf("killed.bin");
    if (finished) {
        EXPECT_EQ("", DifferenceFromGenerated(path, 0, kFiveGiBAndSeven, kFiveGiBAndSeven));
    }
    DeleteFileA(path.c_str());
    DeleteFileA(temp.c_str());
    ASSERT_TRUE(finished);
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE1", "MULTHREAD"));
}

// Downloads to R:, a disk of 64 MiB.
class SmallDiskTest : public BigFileTest {
protected:
    void TearDown() override
    {
        ResetSettingsAndTasks();
        for (const char *name : {"R:\\film.bin", "R:\\film.bin.hhh", "R:\\other.bin"})
            DeleteFileA(name);
    }

    // Fills the disk with R:\other.bin, as another program would.
    static void FillTheDisk()
    {
        HANDLE file = CreateFileA("R:\\other.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        std::vector<BYTE> block(1 << 16, 0x77);
        DWORD written = 0;
        while (WriteFile(file, block.data(), static_cast<DWORD>(block.size()), &written, nullptr) &&
               written == block.size()) {
        }
        CloseHandle(file);
    }

    static void Occupy(DWORD bytes)
    {
        HANDLE file = CreateFileA("R:\\other.bin", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, file);
        std::vector<BYTE> block(bytes, 0x77);
        DWORD written = 0;
        EXPECT_TRUE(WriteFile(file, block.data(), bytes, &written, nullptr));
        CloseHandle(file);
    }

    static void AdmitTo(TaskHost &host, const std::string &url, int connections)
    {
        WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", "R:\\", "KELMORA.ini");
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, "film.bin", connections));
    }
};

TEST_F(SmallDiskTest, AFileLargerThanTheDiskFailsItsStartAndLeavesNoFile)
{
    TaskHost host;
    AdmitTo(host, Generated(1000000000), 5);
    ASSERT_TRUE(TaskHost::WaitState(0, TaskIdle));
    DownloadTask *task = gSlotTable.slots[0].task;
    EXPECT_FALSE(FileExists("R:\\film.bin.hhh"));
    EXPECT_EQ(Generated(1000000000), task->url) << "the task stays for a later start";
    EXPECT_STREQ("R:\\film.bin.hhh", task->tempPath);
    EXPECT_EQ(0u, ReceivedBytes(0));
}

TEST_F(SmallDiskTest, AStartRefusedForLackOfRoomGoesOnOnceThereIsRoom)
{
    const ULONGLONG size = 30000000;
    Occupy(40u << 20);
    TaskHost host;
    AdmitTo(host, Generated(size), 3);
    ASSERT_TRUE(TaskHost::WaitState(0, TaskIdle));
    EXPECT_FALSE(FileExists("R:\\film.bin.hhh"));

    DeleteFileA("R:\\other.bin");
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", DifferenceFromGenerated("R:\\film.bin", 0, size, size));
}

// Another program fills the disk while the segments run: each stops where
// its bytes end, every byte counted is right, and after room is made a
// pause and a start finish the file.
TEST_F(SmallDiskTest, ADiskThatFillsStopsTheSegmentsAndStartFinishesLater)
{
    const ULONGLONG size = 40000000;
    TaskHost host;
    AdmitTo(host, Generated(size, "/slow"), 5);
    DownloadTask *task = gSlotTable.slots[0].task;
    ASSERT_TRUE(TaskHost::WaitReceived(0, 4000000));
    FillTheDisk();
    ASSERT_TRUE(TaskHost::PumpUntil(
        [task] {
            for (int i = 0; i < 5; ++i) {
                if (!LoadWord(task->segments[i].finished) && LoadWord(task->segments[i].state) != SegmentStopped)
                    return false;
            }
            return true;
        },
        60000))
        << "the segments went on writing into a full disk";
    ASSERT_NE(nullptr, gSlotTable.slots[0].task) << "a full disk finished the download";
    ULONGLONG before = ReceivedBytes(0);
    EXPECT_LT(before, size);
    for (int i = 0; i < 5; ++i) {
        ULONGLONG start = i * task->segmentSize;
        EXPECT_EQ("", DifferenceFromGenerated("R:\\film.bin.hhh", start, start + task->segments[i].received))
            << "segment " << i;
    }

    DeleteFileA("R:\\other.bin");
    PauseTask(0);
    strcpy(task->url, Generated(size).c_str());  // the same file at full speed
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", DifferenceFromGenerated("R:\\film.bin", 0, size, size));
}

}  // namespace
