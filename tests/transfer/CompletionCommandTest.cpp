// The task-complete command and the operations that meet it: a command that
// outlives its task, a host whose completion callback is slow while the user
// pauses, deletes or quits, and a temporary name that is not one of ours.
// Against nginx and Python's http.server; every file is compared byte for byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "peers/PeerFiles.h"
#include "store/HistoryStore.h"
#include "store/RecordClaims.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/TaskHost.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskRecords.h"

using namespace testing_support;

namespace {

const char kNginx[] = "RAVLIX_NGINX_PORT";
const char kPython[] = "RAVLIX_PYTHON_PORT";
const DWORD kSlowCallbackMs = 1500;
const DWORD kCallLimitMs = 2000;  // a user-interface call slower than this is a frozen window

std::string Source(const char *name)
{
    std::string contents;
    EXPECT_TRUE(ReadPeerFile(name, &contents));
    return contents;
}

bool InHistory(const char *name)
{
    int index;
    return FindHistoryRecord(name, &index);
}

// Waits for done() without running the window's messages, so that whatever
// the transfer posted stays queued.
bool WaitWithoutPumping(bool (*done)(), DWORD timeoutMs = 60000)
{
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

class CompletionCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[MAX_PATH];
        HistoryFilePath(path, sizeof(path));
        DeleteFileA(path);
        gCallbackEntered = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        gCallbacks = 0;
    }

    void TearDown() override { CloseHandle(gCallbackEntered); }

    // A host whose completion callback takes its time, on a single stream
    // from the HTTP/1.0 server. Returns once the worker is inside the
    // callback, holding a handle of the worker thread in worker.
    void StartSlowCompletion(TaskHost &host, const char *name, HANDLE *worker)
    {
        host.controller.progressCallback = SlowCallback;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(PeerUrl(kPython, "/f1048576.bin"), name, 3));
        DownloadTask *task = gSlotTable.slots[0].task;
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), task->threadHandle, GetCurrentProcess(), worker, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gCallbackEntered, 60000));
    }

    // The worker ended by itself: a thread that is terminated keeps the exit
    // code it was given (STILL_ACTIVE here), never WorkerMain's 0.
    static void ExpectEndedByItself(HANDLE worker)
    {
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 5000));
        DWORD code = 12345;
        EXPECT_TRUE(GetExitCodeThread(worker, &code));
        EXPECT_EQ(0u, code) << "the worker thread was terminated";
        CloseHandle(worker);
    }

    static DWORD Timed(void (*call)())
    {
        DWORD start = GetTickCount();
        call();
        return GetTickCount() - start;
    }

    static void __cdecl SlowCallback(int, int, int)
    {
        SetEvent(gCallbackEntered);
        Sleep(kSlowCallbackMs);
        InterlockedIncrement(&gCallbacks);
    }

    static HANDLE gCallbackEntered;
    static volatile LONG gCallbacks;
};

HANDLE CompletionCommandTest::gCallbackEntered = nullptr;
HANDLE gCallbackEnteredForBlock = nullptr;
volatile LONG CompletionCommandTest::gCallbacks = 0;

// Quit closes a finished task before its posted command is handled, and a new
// download takes the slot: the command must not finalize the newcomer.
TEST_F(CompletionCommandTest, AStaleCommandLeavesTheNextTaskOfItsSlotAlone)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(PeerUrl(kNginx, "/f10007.bin"), "small.bin", 3));
    ASSERT_TRUE(WaitWithoutPumping([] { return TaskHost::completions == 1; }));
    PauseAllTasks();
    for (int slot = 0; slot < kSlotCount; ++slot)
        SaveAndCloseTask(slot);
    EXPECT_EQ("", Difference(host.PathOf("small.bin"), Source("f10007.bin")));
    EXPECT_TRUE(InHistory("small.bin"));

    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(PacedUrl(64u << 20), "big.bin", 3));
    ASSERT_NE(nullptr, gSlotTable.slots[0].task);
    TaskHost::PumpUntil([] { return false; }, 1500);
    EXPECT_EQ(1, TaskHost::finalizations) << "the stale command was never handled";
    ASSERT_NE(nullptr, gSlotTable.slots[0].task);
    EXPECT_EQ(TaskDownloading, gSlotTable.slots[0].task->state);
    EXPECT_FALSE(FileExists(host.PathOf("big.bin")));
    EXPECT_TRUE(FileExists(host.PathOf("big.bin.hhh")));
    EXPECT_FALSE(InHistory("big.bin"));
    EXPECT_EQ(1, TaskHost::completions);
    DeleteTask(0);
}

// Pausing while the worker is in the host's callback: the call waits for the
// callback, not for a time-out, and the complete file still goes into place.
TEST_F(CompletionCommandTest, PausingDuringASlowCompletionCallback)
{
    TaskHost host;
    HANDLE worker;
    ASSERT_NO_FATAL_FAILURE(StartSlowCompletion(host, "paused.bin", &worker));
    EXPECT_LT(Timed([] { PauseTask(0); }), kCallLimitMs);
    ExpectEndedByItself(worker);
    ASSERT_TRUE(TaskHost::WaitFinalized(0, 10000));
    EXPECT_EQ("", Difference(host.PathOf("paused.bin"), Source("f1048576.bin")));
    EXPECT_FALSE(FileExists(host.PathOf("paused.bin.hhh")));
    EXPECT_EQ(1, gCallbacks);
}

TEST_F(CompletionCommandTest, DeletingDuringASlowCompletionCallback)
{
    TaskHost host;
    HANDLE worker;
    ASSERT_NO_FATAL_FAILURE(StartSlowCompletion(host, "deleted.bin", &worker));
    EXPECT_LT(Timed([] { DeleteTask(0); }), kCallLimitMs);
    ExpectEndedByItself(worker);
    EXPECT_TRUE(TaskHost::SlotEmpty(0));
    TaskHost::PumpUntil([] { return false; }, 500);
    EXPECT_FALSE(FileExists(host.PathOf("deleted.bin")));
    EXPECT_FALSE(FileExists(host.PathOf("deleted.bin.hhh")));
    EXPECT_FALSE(InHistory("deleted.bin")) << "a deleted download is recorded as finished";
}

// Quit as the window runs it: pause all, then save and close every slot.
TEST_F(CompletionCommandTest, QuittingDuringASlowCompletionCallback)
{
    TaskHost host;
    HANDLE worker;
    ASSERT_NO_FATAL_FAILURE(StartSlowCompletion(host, "quit.bin", &worker));
    int section = TaskSection(*gSlotTable.slots[0].task);
    EXPECT_LT(Timed(PauseAllTasks), kCallLimitMs);
    for (int slot = 0; slot < kSlotCount; ++slot) {
        DWORD start = GetTickCount();
        EXPECT_EQ(1, SaveAndCloseTask(slot));
        EXPECT_LT(GetTickCount() - start, kCallLimitMs);
    }
    ExpectEndedByItself(worker);
    EXPECT_TRUE(TaskHost::AllSlotsEmpty());
    EXPECT_EQ("", Difference(host.PathOf("quit.bin"), Source("f1048576.bin")));
    EXPECT_TRUE(InHistory("quit.bin"));
    EXPECT_EQ("0", ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "MULTHREAD"));
    // The command the worker sent meanwhile finds nothing more to do.
    TaskHost::PumpUntil([] { return false; }, 500);
    EXPECT_EQ("", Difference(host.PathOf("quit.bin"), Source("f1048576.bin")));
}

// Pause All while one task's host callback runs and another is a second
// from its end. Every task is told to stop before any is waited for: the
// second pauses where it is, instead of completing and calling back while
// the window waits for the first, so the window waits for one callback, not
// one after the other. Resumed, the paused download gets the server's bytes.
TEST_F(CompletionCommandTest, PauseAllStopsEveryTaskBeforeWaitingForAnyCallback)
{
    TaskHost host;
    HANDLE worker;
    ASSERT_NO_FATAL_FAILURE(StartSlowCompletion(host, "calling.bin", &worker));
    const unsigned long long size = 2u << 20;  // about a second at the paced rate
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(PacedUrl(size), "running.bin", 1));
    ASSERT_NE(nullptr, gSlotTable.slots[1].task);
    EXPECT_LT(Timed(PauseAllTasks), kCallLimitMs);
    EXPECT_EQ(1, gCallbacks) << "the running download went on to complete after Pause All";
    ASSERT_NE(nullptr, gSlotTable.slots[1].task);
    EXPECT_EQ(TaskPaused, LoadWord(gSlotTable.slots[1].task->state));
    ExpectEndedByItself(worker);
    ASSERT_TRUE(TaskHost::WaitFinalized(0, 10000));
    EXPECT_EQ("", Difference(host.PathOf("calling.bin"), Source("f1048576.bin")));
    StartTask(1);
    ASSERT_TRUE(TaskHost::WaitFinalized(1, 60000));
    EXPECT_EQ("", DifferenceFromGenerated(host.PathOf("running.bin"), 0, size, size));
}

// A host callback that waits for something other than a sent message (here
// an event the test sets much later) would hold a stop for ever. Pause gives
// up after its last-resort bound: the task leaves the window with its
// record, and its section stays claimed until the callback returns and the
// stop ends by itself; then a restore completes the file.
HANDLE gReleaseCallback;

void __cdecl BlockingCallback(int, int, int)
{
    SetEvent(gCallbackEnteredForBlock);
    WaitForSingleObject(gReleaseCallback, 90000);
}

TEST(StopBound, ACallbackThatBlocksDoesNotHoldTheWindowForEver)
{
    char path[MAX_PATH];
    HistoryFilePath(path, sizeof(path));
    DeleteFileA(path);
    for (const char *port : {kNginx, kPython}) {
        SCOPED_TRACE(port == kNginx ? "segments, callback on a delivery" : "single stream, callback on the worker");
        gReleaseCallback = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        gCallbackEnteredForBlock = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        TaskHost host;
        host.controller.progressCallback = BlockingCallback;
        std::string url = PeerUrl(port, "/f1048576.bin");
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, "blocked.bin", 3));
        int section = TaskSection(*gSlotTable.slots[0].task);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(gCallbackEnteredForBlock, 60000));
        DWORD start = GetTickCount();
        PauseTask(0);
        DWORD took = GetTickCount() - start;
        EXPECT_LT(took, 30000u) << "the window waited for the callback";
        EXPECT_TRUE(TaskHost::SlotEmpty(0));
        std::string name = "FILE" + std::to_string(section);
        EXPECT_EQ(url, ProfileValue(SettingsFilePath(), name, "URLNAME")) << "the record was lost";
        HANDLE claim = ClaimResumeSection(section);
        EXPECT_EQ(nullptr, claim) << "restorable while its worker may still write";
        ReleaseClaim(claim);

        SetEvent(gReleaseCallback);
        ASSERT_TRUE(TaskHost::PumpUntil([section] {
            HANDLE free = ClaimResumeSection(section);
            bool claimed = free != nullptr;
            ReleaseClaim(free);
            return claimed;
        }, 30000)) << "the stop never ended";
        ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
        ASSERT_TRUE(TaskHost::WaitFinalized(0, 30000));
        EXPECT_EQ("", Difference(host.PathOf("blocked.bin"), Source("f1048576.bin")));
        DeleteFileA(host.PathOf("blocked.bin").c_str());
        CloseHandle(gReleaseCallback);
        CloseHandle(gCallbackEnteredForBlock);
    }
}

// FinalizeTask takes off a trailing ".hhh" and nothing else: a temporary
// name without it (a hand-edited record, say) is never renamed.
TEST_F(CompletionCommandTest, OnlyATrailingHhhIsTakenOff)
{
    TaskHost host;
    struct Case {
        const char *temp;
        const char *renamedTo;  // what taking off four characters would give
        bool renamed;
    } cases[] = {{"plain.bin", "plain", false}, {"archive.hhh.zip", "archive.hhh", false},
                 {"good.bin.hhh", "good.bin", true}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.temp);
        std::string temp = host.PathOf(c.temp);
        HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        ASSERT_TRUE(WriteFile(file, "abc", 3, &written, nullptr));
        CloseHandle(file);
        DownloadTask *task = PutNewTask(0, temp.c_str(), 1, 3);
        task->segments[0].received = 3;
        task->announced = 1;
        FinalizeTask(0);
        EXPECT_TRUE(TaskHost::SlotEmpty(0));
        EXPECT_EQ(c.renamed, FileExists(host.PathOf(c.renamedTo)));
        EXPECT_EQ(!c.renamed, FileExists(temp));
        EXPECT_EQ(c.renamed, InHistory(c.renamedTo));
    }
}

// A command for a task that has not announced itself complete, or whose
// bytes are not all in, finalizes nothing.
TEST_F(CompletionCommandTest, ACommandForAnUnfinishedTaskDoesNothing)
{
    TaskHost host;
    std::string temp = host.PathOf("partial.bin.hhh");
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    for (LONG announced : {0, 1}) {
        DownloadTask *task = PutNewTask(0, temp.c_str(), 2, 10000);
        task->segments[0].received = 5000;
        task->segments[1].received = announced ? 4999 : 5000;
        task->announced = announced;
        FinalizeTask(0);
        EXPECT_EQ(task, gSlotTable.slots[0].task);
        EXPECT_FALSE(FileExists(host.PathOf("partial.bin")));
        EXPECT_FALSE(InHistory("partial.bin"));
        DiscardAllTasks();
    }
    DeleteFileA(temp.c_str());
}

}  // namespace
