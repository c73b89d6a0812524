// Downloads through the whole transfer engine from real servers: nginx
// (HTTP/1.1, ranges) and Python's http.server (HTTP/1.0), each file compared
// with its source byte for byte.
#include "CuttingRelay.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>

#include <string>

#include "peers/PeerFiles.h"
#include "store/HistoryStore.h"
#include "tests/support/DialogDriver.h"
#include "tests/support/TaskHost.h"
#include "transfer/TaskRecords.h"

using namespace testing_support;

namespace {

const char kNginx[] = "RAVLIX_NGINX_PORT";
const char kPython[] = "RAVLIX_PYTHON_PORT";

std::string Source(unsigned size)
{
    std::string contents;
    EXPECT_TRUE(ReadPeerFile(("f" + std::to_string(size) + ".bin").c_str(), &contents));
    return contents;
}

std::string Url(const char *peer, const char *prefix, unsigned size)
{
    return PeerUrl(peer, (std::string(prefix) + "f" + std::to_string(size) + ".bin").c_str());
}

class PeerDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[MAX_PATH];
        HistoryFilePath(path, sizeof(path));
        DeleteFileA(path);
    }

    // Downloads one file into the first slot and checks everything a finished
    // download leaves behind.
    void Fetch(const char *peer, unsigned size, int connections)
    {
        FetchUrl(Url(peer, "/", size), size, connections);
    }

    void FetchUrl(const std::string &url, unsigned size, int connections)
    {
        const char *peer = url.c_str();
        SCOPED_TRACE(std::string(peer) + " size " + std::to_string(size) + " connections " +
                     std::to_string(connections));
        TaskHost host;
        std::string name = "got" + std::to_string(size) + ".bin";
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, name.c_str(), connections));
        int section = TaskSection(*gSlotTable.slots[0].task);
        ASSERT_TRUE(TaskHost::WaitFinalized(0));
        EXPECT_EQ(1, TaskHost::completions);
        std::string got = FileContents(host.PathOf(name.c_str()));
        EXPECT_EQ(size, got.size());
        EXPECT_TRUE(got == Source(size)) << "bytes differ";
        EXPECT_FALSE(FileExists(host.PathOf((name + ".hhh").c_str())));
        // No record is left to resume a finished download.
        EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "MULTHREAD"));
        int index;
        EXPECT_TRUE(FindHistoryRecord(name.c_str(), &index));
        DeleteFileA(host.PathOf(name.c_str()).c_str());
    }
};

// Writes a file into the peers' document root with the modification time
// given, which nginx's ETag and Last-Modified are made of.
bool WritePeerFile(const std::string &name, const std::string &contents, const FILETIME &modified)
{
    std::string path = std::string("Z:") + getenv("RAVLIX_PEER_ROOT") + "/" + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr) &&
              written == contents.size() && SetFileTime(file, nullptr, nullptr, &modified);
    CloseHandle(file);
    return ok;
}

std::string Noise(size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    for (char &c : bytes) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        c = static_cast<char>(seed >> 24);
    }
    return bytes;
}

// The file is replaced on nginx (renamed over, as a deployment does) while a
// relay between cuts every connection after 512 KiB to 1.5 MiB, so that
// reconnects meet the new version while other segments still read the old
// one. The file put in place must be one version whole, the new one. Each of
// the four segments is 2 MiB, more than any budget, so the relay cuts
// whatever the timing (with budgets up to 4 MiB a loaded run once got
// through without a cut).
TEST_F(PeerDownloadTest, AFileReplacedOnNginxBehindACuttingRelayEndsAsTheNewVersion)
{
    const size_t kSize = 8 << 20;
    const unsigned kSeed = 20261208;
    SCOPED_TRACE("relay seed " + std::to_string(kSeed));
    std::string oldVersion = Noise(kSize, 1), newVersion = Noise(kSize, 2);
    FILETIME now, yesterday;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER earlier = {{now.dwLowDateTime, now.dwHighDateTime}};
    earlier.QuadPart -= 864000000000ull;
    yesterday.dwLowDateTime = earlier.LowPart;
    yesterday.dwHighDateTime = earlier.HighPart;
    ASSERT_TRUE(WritePeerFile("replaced-on-server.bin", oldVersion, yesterday));

    CuttingRelay relay(static_cast<unsigned short>(atoi(getenv(kNginx))), kSeed);
    std::string url = "http://127.0.0.1:" + std::to_string(relay.Port()) + "/trickle/replaced-on-server.bin";
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, "replaced.bin", 4));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 2 << 20));
    ASSERT_TRUE(WritePeerFile("replaced-on-server.bin.new", newVersion, now));
    std::string root = std::string("Z:") + getenv("RAVLIX_PEER_ROOT") + "/";
    ASSERT_TRUE(MoveFileExA((root + "replaced-on-server.bin.new").c_str(), (root + "replaced-on-server.bin").c_str(),
                            MOVEFILE_REPLACE_EXISTING));

    ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0, 240000));
    std::string got = FileContents(host.PathOf("replaced.bin"));
    EXPECT_EQ(kSize, got.size());
    EXPECT_TRUE(got == newVersion) << Difference(host.PathOf("replaced.bin"), newVersion);
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_GT(relay.Cuts(), 0);
    DeleteFileA((root + "replaced-on-server.bin").c_str());
}

TEST_F(PeerDownloadTest, NginxEverySizeAndConnectionCount)
{
    for (unsigned size : {1u, 4999u, 5000u, 5001u, 10007u, 1048576u})
        for (int connections = 1; connections <= 5; ++connections)
            Fetch(kNginx, size, connections);
}

// https with the test authority's certificate, segmented by the engine.
TEST_F(PeerDownloadTest, NginxOverHttps)
{
    FetchUrl(TlsPeerUrl(0, "/f1048576.bin"), 1048576u, 5);
    FetchUrl(TlsPeerUrl(0, "/f67108864.bin"), 67108864u, 5);
}

TEST_F(PeerDownloadTest, NginxLargeFile)
{
    Fetch(kNginx, 67108864u, 1);
    Fetch(kNginx, 67108864u, 5);
}

TEST_F(PeerDownloadTest, PythonHttp10SingleStream)
{
    for (unsigned size : {1u, 4999u, 5000u, 5001u, 10007u, 1048576u, 67108864u})
        Fetch(kPython, size, 3);
}

TEST_F(PeerDownloadTest, ThreeTasksAtOnce)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/", 67108864u), "a.bin", 5));
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kPython, "/", 1048576u), "b.bin", 2));
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/moved/", 10007u), "c.bin", 3));
    ASSERT_TRUE(TaskHost::PumpUntil(TaskHost::AllSlotsEmpty));
    EXPECT_EQ(3, TaskHost::completions);
    EXPECT_EQ("", Difference(host.PathOf("a.bin"), Source(67108864u)));
    EXPECT_EQ("", Difference(host.PathOf("b.bin"), Source(1048576u)));
    EXPECT_EQ("", Difference(host.PathOf("c.bin"), Source(10007u)));
}

TEST_F(PeerDownloadTest, PauseAndStartContinueSegments)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/slow/", 67108864u), "paused.bin", 5));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 2000000));
    PauseTask(0);
    DownloadTask *task = gSlotTable.slots[0].task;
    EXPECT_EQ(TaskPaused, task->state);
    EXPECT_EQ(AggregateAllStopped, AggregateStatus(*task));
    DWORD atPause = ReceivedBytes(0);
    int section = TaskSection(*task);
    // The record holds the counts of the pause.
    DWORD recorded = 0;
    for (int i = 0; i < 5; ++i)
        recorded += std::stoul(ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section),
                                            ("OFFSET" + std::to_string(i)).c_str()));
    EXPECT_EQ(atPause, recorded);
    Sleep(300);
    EXPECT_EQ(atPause, ReceivedBytes(0));  // nothing arrives while paused

    // Resumed over the fast location: the same file.
    strcpy(task->url, Url(kNginx, "/", 67108864u).c_str());
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("paused.bin"), Source(67108864u)));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "MULTHREAD"));
}

TEST_F(PeerDownloadTest, QuitThenRestoreInANewControllerResumes)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/slow/", 67108864u), "quit.bin", 4));
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/", 10007u), "small.bin", 2));
    ASSERT_TRUE(TaskHost::WaitFinalized(1));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 1000000));
    // As Quit does: pause everything, then save and close each slot.
    PauseAllTasks();
    for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ(1, SaveAndCloseTask(slot));
    EXPECT_TRUE(TaskHost::AllSlotsEmpty());
    EXPECT_TRUE(FileExists(host.PathOf("quit.bin.hhh")));

    // A new controller clears the table; its window restores.
    ClearSlotTable();
    WritePrivateProfileStringA("FILE1", "URLNAME", Url(kNginx, "/", 67108864u).c_str(), "KELMORA.ini");
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    DownloadTask *task = gSlotTable.slots[0].task;
    ASSERT_NE(nullptr, task);
    EXPECT_GT(ReceivedBytes(0), 0u);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("quit.bin"), Source(67108864u)));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE1", "MULTHREAD"));
}

TEST_F(PeerDownloadTest, QuitRightAfterTheLastByteFinalizesInsteadOfSaving)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/", 1048576u), "late.bin", 3));
    // The host is told; the task-complete command waits in the queue.
    DWORD start = GetTickCount();
    while (TaskHost::completions == 0 && GetTickCount() - start < 60000)
        Sleep(10);
    ASSERT_EQ(1, TaskHost::completions);
    int section = TaskSection(*gSlotTable.slots[0].task);
    PauseAllTasks();
    EXPECT_EQ(1, SaveAndCloseTask(0));
    EXPECT_TRUE(TaskHost::SlotEmpty(0));
    EXPECT_EQ("", Difference(host.PathOf("late.bin"), Source(1048576u)));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "MULTHREAD"));
    TaskHost::PumpUntil([] { return false; }, 300);  // the queued command finds an empty slot
    ClearSlotTable();
    EXPECT_EQ(0, RestoreTasks(host.controller.progressCallback));
    EXPECT_EQ(1, TaskHost::completions);
}

TEST_F(PeerDownloadTest, DeleteRemovesTheFileAndRecordsIt)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(kNginx, "/slow/", 67108864u), "deleted.bin", 3));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 500000));
    int section = TaskSection(*gSlotTable.slots[0].task);
    PauseTask(0);
    DeleteTask(0);
    EXPECT_TRUE(TaskHost::SlotEmpty(0));
    EXPECT_FALSE(FileExists(host.PathOf("deleted.bin.hhh")));
    EXPECT_FALSE(FileExists(host.PathOf("deleted.bin")));
    EXPECT_EQ("", ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "URLNAME"));
    HistoryRecord record;
    int index;
    ASSERT_TRUE(FindHistoryRecord("deleted.bin.hhh", &index));
    EXPECT_FALSE(ReadHistoryRecord(&record, index));  // status 4 is not listed
    EXPECT_EQ(0, TaskHost::completions);
}

TEST_F(PeerDownloadTest, FinalizingReplacesAnExistingFile)
{
    TaskHost host;
    std::string path = host.PathOf("replace.bin");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, "an older file, longer than the new one, still in place", 54, &written, nullptr);
    CloseHandle(file);
    {
        DialogDriver overwrite([](const SeenDialog &dialog) { DialogDriver::Press(dialog, IDYES); });
        ASSERT_EQ(RAVLIX_ADMITTED,
                  AdmitDownload(&host.controller, Url(kNginx, "/", 10007u).c_str(), "", "replace.bin", 2));
        EXPECT_TRUE(overwrite.found());
    }
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(path, Source(10007u)));
}

}  // namespace
