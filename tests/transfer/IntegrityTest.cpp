// What a file in place and a saved record may claim, at the moments where a
// host dies, a stop lands or a server bends the rules: a record never claims
// bytes of a file made after it, a download already in place is not fetched
// again, a piece handed back counts nothing, bytes nobody fetches are
// recovered, and a server without a validator gets no request beyond the
// task's segments. Each case compares the file with its source.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "ScriptedResource.h"
#include "components/ComponentAccess.h"
#include "components/WebRequest.h"
#include "store/HistoryStore.h"
#include "store/RecordClaims.h"
#include "tests/support/TaskHost.h"
#include "transfer/Pieces.h"
#include "transfer/StallRecovery.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskHalt.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskStop.h"

using namespace testing_support;

namespace {

std::string RecordKey(int section, const char *key)
{
    return ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), key);
}

ULONGLONG RecordedBytes(int section, int connections)
{
    ULONGLONG sum = 0;
    for (int i = 0; i < connections; ++i)
        sum += strtoull(RecordKey(section, ("OFFSET" + std::to_string(i)).c_str()).c_str(), nullptr, 10);
    return sum;
}

ULONGLONG SizeOf(const std::string &path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The host process dies: its requests and file close, nothing more is saved.
void KillTask(int slot)
{
    DownloadTask *task = gSlotTable.slots[slot].task;
    CloseTask(task);
    ResetPieces(task);
    ReleaseClaim(task->sectionClaim);
    ReleaseClaim(task->pathClaim);
    if (task->segments[0].streamDoneEvent)
        CloseHandle(task->segments[0].streamDoneEvent);
    delete task;
    gSlotTable.slots[slot].task = nullptr;
}

class IntegrityTest : public ::testing::Test {
protected:
    IntegrityTest() : server([this](ScriptedConnection &c) { Serve(c, resource); }) {}

    std::string Url() { return server.Url("/file.bin"); }

    Resource resource;
    ScriptedServer server;
};

// The temporary file is gone when a host restores the download, and the
// server then answers the probe, breaks its answer off after a few bytes and
// refuses every range and reconnect: the new host makes a new file at the
// full length and stalls. Killed then, its record must not still claim the
// bytes of the file that was deleted, or the next host resumes over zeros.
TEST_F(IntegrityTest, ARecordIsResetBeforeANewTemporaryFileIsMade)
{
    resource.body = Pattern(3000000);
    resource.etag = "v1";
    resource.piece = 16384;
    resource.pauseMs = 5;
    TaskHost host;
    std::string temp = host.PathOf("stale.bin.hhh");
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "stale.bin", 5));
    int section = TaskSection(*gSlotTable.slots[0].task);
    ASSERT_TRUE(TaskHost::WaitReceived(0, 1500000));
    PauseAllTasks();
    ASSERT_EQ(1, SaveAndCloseTask(0));
    ClearSlotTable();
    ASSERT_GT(RecordedBytes(section, 5), 0u) << "the record claims nothing to begin with";

    ASSERT_TRUE(DeleteFileA(temp.c_str()));
    resource.piece = 0;
    const size_t kFewBytes = 1000;
    resource.dropAfter = kFewBytes;
    resource.refuseFrom = server.Connections() + 1;
    resource.refuseCount = 1000;
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::PumpUntil([] { return TaskStalled(gSlotTable.slots[0].task); }, 30000));
    ASSERT_EQ(3000000u, SizeOf(temp)) << "no new temporary file was made";
    SaveResumeRecord(*gSlotTable.slots[0].task, section);
    EXPECT_LE(RecordedBytes(section, 5), kFewBytes) << "the record claims bytes of the deleted file";
    KillTask(0);
    ClearSlotTable();

    resource.dropAfter = 0;
    resource.refuseCount = 0;
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("stale.bin"), resource.Body()));
}

// The host ended after it put the file in place and before it blanked the
// record. The next host blanks the record and lists the download as finished
// once; it fetches nothing and leaves the file in place alone (here the user
// has it open already).
TEST_F(IntegrityTest, ADownloadAlreadyInPlaceIsNotFetchedAgain)
{
    resource.body = Pattern(1500000);
    resource.etag = "v1";
    TaskHost host;
    std::string finalPath = host.PathOf("placed.bin");
    std::string temp = finalPath + ".hhh";
    char historyPath[MAX_PATH];
    HistoryFilePath(historyPath, sizeof(historyPath));
    DeleteFileA(historyPath);
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "placed.bin", 3));
    int section = TaskSection(*gSlotTable.slots[0].task);
    // A folder of the final name keeps the record that says "all bytes in";
    // the host is killed, and the rename happens as it would have done it.
    ASSERT_TRUE(CreateDirectoryA(finalPath.c_str(), nullptr));
    DownloadTask *task = gSlotTable.slots[0].task;
    ASSERT_TRUE(TaskHost::PumpUntil([task] { return TaskHost::finalizations > 0 && task->state == TaskPaused; }));
    KillTask(0);
    ClearSlotTable();
    ASSERT_TRUE(RemoveDirectoryA(finalPath.c_str()));
    ASSERT_TRUE(MoveFileA(temp.c_str(), finalPath.c_str()));
    ASSERT_EQ(temp, RecordKey(section, "DESTNAME"));
    HANDLE opened = CreateFileA(finalPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, opened);

    int connections = server.Connections();
    RestoreTasks(host.controller.progressCallback);
    TaskHost::PumpUntil([] { return false; }, 1000);
    CloseHandle(opened);
    EXPECT_TRUE(TaskHost::AllSlotsEmpty());
    EXPECT_EQ(connections, server.Connections()) << "fetched again";
    EXPECT_FALSE(FileExists(temp));
    EXPECT_EQ("0", RecordKey(section, "MULTHREAD"));
    EXPECT_EQ("", Difference(finalPath, resource.Body()));
    int index = -1;
    ASSERT_TRUE(FindHistoryRecord("placed.bin", &index));
    HistoryRecord record;
    EXPECT_TRUE(ReadHistoryRecord(&record, index));
    EXPECT_FALSE(FindHistoryRecord("placed.bin.hhh", &index));
    DeleteFileA(finalPath.c_str());
}

// A request opens for a helping piece, its first bytes are written, and a
// stop comes before the request is published: the piece goes back to its
// range. Started again, the download must announce itself once, when every
// byte is in, and not earlier with the piece's bytes counted twice.
struct StopAtPieceOpen {
    static const WebRequestTable *real;
    static WebRequestTable hooked;
    static void *(__cdecl *create)(void);
    static volatile LONG armed;
    static volatile LONG fired;

    static int __thiscall Open(WebRequest *self, const char *url, const char *proxy, const char *header, int reserved,
                               ReceiveCallback callback, void *context)
    {
        int opened = real->Open(self, url, proxy, header, reserved, callback, context);
        TaskSegment *range = static_cast<TaskSegment *>(context);
        if (opened && range && range->index >= kMaxSegments && InterlockedExchange(&armed, 0)) {
            for (int i = 0; i < 200 && LoadWord(range->received) == 0; ++i)
                Sleep(10);
            if (LoadWord(range->received) > 0)
                InterlockedExchange(&fired, 1);
            RequestStop(range->owner);
        }
        return opened;
    }

    static void *__cdecl Create()
    {
        WebRequest *request = static_cast<WebRequest *>(create());
        if (request) {
            real = request->operations;
            hooked = *real;
            hooked.Open = Open;
            request->operations = &hooked;
        }
        return request;
    }
};
const WebRequestTable *StopAtPieceOpen::real = nullptr;
WebRequestTable StopAtPieceOpen::hooked;
void *(__cdecl *StopAtPieceOpen::create)(void) = nullptr;
volatile LONG StopAtPieceOpen::armed = 0;
volatile LONG StopAtPieceOpen::fired = 0;

std::string gBody, gTempAtCallback;
volatile LONG gWholeAtCallback = -1;

void __cdecl CheckWholeAtCallback(int, int, int)
{
    InterlockedIncrement(&TaskHost::completions);
    InterlockedExchange(&gWholeAtCallback, FileContents(gTempAtCallback) == gBody ? 1 : 0);
}

// A record claims the first 256 KiB, and its temporary file was cut short to
// exactly that (a disk tool, a damaged disk): the record keeps no length, so
// the restore must ask the server, not take the file's length for the
// download's and put a quarter of it in place as finished.
TEST_F(IntegrityTest, ATemporaryFileCutShortToItsClaimIsFetchedNotPlaced)
{
    resource.body = Pattern(1048576);
    resource.etag = "v1";
    TaskHost host;
    std::string finalPath = host.PathOf("cut.bin"), temp = finalPath + ".hhh";
    std::string body = resource.Body();
    ASSERT_TRUE(WriteWholeFile(temp, body.substr(0, 262144)));
    WriteRecord(1, "1", Url().c_str(), temp.c_str());
    WriteRecordKey(1, "OFFSET0", "262144");
    WriteRecordKey(1, "VALIDATOR", "ETag: \"v1\"");

    RestoreTasks(host.controller.progressCallback);
    ASSERT_TRUE(TaskHost::PumpUntil([&] { return FileExists(finalPath); }, 30000));
    EXPECT_EQ("", Difference(finalPath, body));
    DeleteFileA(finalPath.c_str());
}

TEST_F(IntegrityTest, APieceHandedBackAfterAStopCountsNothing)
{
    resource.body = Pattern(5000000);
    resource.etag = "v1";
    resource.piece = 16384;
    resource.pauseMs = 5;
    resource.slowConnection = server.Connections() + 4;
    TaskHost host;
    gBody = resource.Body();
    gTempAtCallback = host.PathOf("returned.bin.hhh");
    gWholeAtCallback = -1;
    host.controller.progressCallback = CheckWholeAtCallback;
    ComponentDescriptor *descriptor = ResolveDescriptor(HttpLibraryDescriptor());
    StopAtPieceOpen::create = descriptor->create;
    StopAtPieceOpen::armed = 1;
    StopAtPieceOpen::fired = 0;
    descriptor->create = StopAtPieceOpen::Create;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "returned.bin", 5));
    bool stopped = TaskHost::PumpUntil([] { return StopAtPieceOpen::armed == 0; }, 30000);
    ASSERT_TRUE(stopped) << "no piece was opened";
    ASSERT_TRUE(WorkerEnded(0));
    descriptor->create = StopAtPieceOpen::create;
    ASSERT_EQ(1, StopAtPieceOpen::fired) << "the piece wrote nothing before the stop";

    resource.slowConnection = -1;
    PauseTask(0);
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0, 60000)) << "announced, yet never put in place";
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_EQ(1, gWholeAtCallback) << "the host was told before every byte was in";
    EXPECT_EQ("", Difference(host.PathOf("returned.bin"), resource.Body()));
}

// A server that sends each new request a burst. One connection is fast and
// comes free first; the piece it is handed meets a new version of the file,
// which bars help for the run. Later the bursts are recognised: no range may
// be cut into pieces that nobody will open, and the download ends as one
// version whole.
TEST_F(IntegrityTest, NoPieceIsQueuedForAWorkerThatOpensNoMore)
{
    resource.body = Pattern(10500000);
    resource.etag = "v1";
    resource.honourIfRange = true;
    resource.burst = 512 * 1024;
    resource.piece = 16384;
    resource.pauseMs = 40;
    int base = server.Connections();
    // The probe, which carries the first segment, and the four others come first.
    resource.fastConnection = base;
    resource.replaceAt = base + 5;
    TaskHost host;
    std::string before = resource.Body(), after = OtherVersion(before);
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "queued.bin", 5));
    ASSERT_TRUE(TaskHost::PumpUntil([] {
        DownloadTask *task = gSlotTable.slots[0].task;
        return task && LoadWord(task->run.helpBarred);
    }, 30000)) << "help was never barred";
    ASSERT_TRUE(TaskHost::PumpUntil([] {
        DownloadTask *task = gSlotTable.slots[0].task;
        return !task || task->run.burstBytes > 0;
    }, 30000));
    ASSERT_TRUE(gSlotTable.slots[0].task) << "finished before the bursts were seen";
    resource.burst = 0;
    resource.pauseMs = 0;
    ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0, 60000)) << "bytes queued for nobody";
    std::string got = FileContents(host.PathOf("queued.bin"));
    EXPECT_TRUE(got == before || got == after) << "a file of both versions";
    EXPECT_EQ(1, TaskHost::completions);
}

// Without ETag and Last-Modified only the length tells that a request reads
// the same file: connections that finish their segment do not help the slow
// one, so that a file replaced by one of the same length is never stitched.
TEST_F(IntegrityTest, AServerWithoutAValidatorGetsNoRequestBeyondTheSegments)
{
    resource.body = Pattern(5000000);
    resource.piece = 16384;
    resource.pauseMs = 5;
    int base = server.Connections();
    resource.slowConnection = base + 4;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "plain.bin", 5));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("plain.bin"), resource.Body()));
    EXPECT_EQ(base + 5, server.Connections()) << "help was asked of a server without a validator";
}

}  // namespace
