// The transfer engine against servers that misbehave on purpose. Each case
// ends in a correct file or a clean stop, never in a finalized wrong file.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <mutex>
#include <string>

#include "ScriptedResource.h"
#include "store/HistoryStore.h"
#include "tests/support/TaskHost.h"
#include "transfer/StallRecovery.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskRecords.h"

using namespace testing_support;

namespace {

class FaultDownloadTest : public ::testing::Test {
protected:
    FaultDownloadTest() : server([this](ScriptedConnection &c) { Serve(c, resource); }) {}

    std::string Url(const char *path = "/file.bin") { return server.Url(path); }

    // Version "v1" of a file of size bytes, sent in 16 KiB pieces a few
    // milliseconds apart, so that a pause or a change falls in the middle.
    void ServeFirstVersion(size_t size, bool honourIfRange)
    {
        resource.body = Pattern(size);
        resource.etag = "v1";
        resource.honourIfRange = honourIfRange;
        resource.piece = 16384;
        resource.pauseMs = 5;
    }

    // The download stalls while it reads as downloading; the recovery that
    // the floating window's timer runs (here twice a second) gets it going
    // again, and the whole file arrives.
    void ExpectStalledThenRecovered(const char *name, int connections)
    {
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), name, connections));
        ASSERT_TRUE(TaskHost::PumpUntil([] { return TaskStalled(gSlotTable.slots[0].task); }))
            << "the download was not seen as stalled";
        EXPECT_EQ(TaskDownloading, gSlotTable.slots[0].task->state);
        DWORD lastRecovery = GetTickCount();
        ASSERT_TRUE(TaskHost::PumpUntil([&lastRecovery] {
            if (GetTickCount() - lastRecovery >= 500) {
                RecoverStalledTasks();
                lastRecovery = GetTickCount();
            }
            return TaskHost::SlotEmpty(0);
        }));
        EXPECT_EQ(1, TaskHost::completions);
        EXPECT_EQ("", Difference(host.PathOf(name), resource.Body()));
    }

    // The window's stall recovery, ticks times, 100 ms apart.
    static void TickRecovery(int ticks)
    {
        for (int tick = 0; tick < ticks; ++tick) {
            RecoverStalledTasks();
            TaskHost::PumpUntil([] { return false; }, 100);
        }
    }

    Resource resource;
    ScriptedServer server;
};

// The probe's answer, the whole file from byte 0, carries the first segment
// on its own connection: no range is asked for from byte 0, one connection
// fetches a file of one segment, and the bytes are the server's, also when
// that answer breaks off inside the segment and is mended by a range.
TEST_F(FaultDownloadTest, TheProbesAnswerCarriesTheFirstSegment)
{
    for (size_t dropAfter : {size_t(0), size_t(300000)}) {
        SCOPED_TRACE(dropAfter ? "the answer breaks off" : "whole answers");
        ServeFirstVersion(3000000, true);
        resource.dropAfter = dropAfter;
        int base = server.Connections();
        {
            TaskHost host;
            ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "first.bin", 5));
            ASSERT_TRUE(TaskHost::WaitFinalized(0));
            EXPECT_EQ("", Difference(host.PathOf("first.bin"), resource.Body()));
            DeleteFileA(host.PathOf("first.bin").c_str());
        }
        std::vector<std::string> sent = server.Requests();
        ASSERT_GT(sent.size(), size_t(base));
        EXPECT_EQ(std::string::npos, sent[base].find("\r\nRange:")) << sent[base];
        for (size_t i = base + 1; i < sent.size(); ++i)
            EXPECT_EQ(std::string::npos, sent[i].find("\r\nRange: bytes=0-")) << "segment 0 asked again: " << sent[i];

        base = server.Connections();
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "one.bin", 1));
        ASSERT_TRUE(TaskHost::WaitFinalized(0));
        EXPECT_EQ("", Difference(host.PathOf("one.bin"), resource.Body()));
        // One answer, or one for every dropAfter bytes.
        size_t answers = dropAfter ? (3000000 + dropAfter - 1) / dropAfter : 1;
        EXPECT_EQ(static_cast<int>(answers), server.Connections() - base);
        DeleteFileA(host.PathOf("one.bin").c_str());
    }
}

TEST_F(FaultDownloadTest, ConnectionsThatDropAreResumedByRange)
{
    resource.body = Pattern(3000000);
    resource.dropAfter = 400000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "dropped.bin", 4));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("dropped.bin"), resource.Body()));
    EXPECT_GT(server.Connections(), 5);
}

TEST_F(FaultDownloadTest, ASegmentWhoseRangeWasRefusedIsFetchedLater)
{
    resource.body = Pattern(2000000);
    // Segment 0, over the probe's answer, is answered; segment 1's range is refused.
    resource.refuseFrom = 1;
    resource.refuseCount = 1;
    ExpectStalledThenRecovered("refused.bin", 3);
}

TEST_F(FaultDownloadTest, SegmentsWhoseReconnectsAllFailedAreFetchedLater)
{
    resource.body = Pattern(1500000);
    resource.dropAfter = 400000;
    // Both segments are answered (the first over the probe's answer); each
    // segment's four reconnects after its first drop are refused, and the
    // component gives both up.
    resource.refuseFrom = 2;
    resource.refuseCount = 8;
    ExpectStalledThenRecovered("given-up.bin", 2);
}

TEST_F(FaultDownloadTest, ATaskThatStaysStalledIsLeftStoppedAfterAFewRecoveries)
{
    resource.body = Pattern(1000000);
    resource.refuseFrom = 1;
    resource.refuseCount = 1000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "refused.bin", 2));
    ASSERT_TRUE(TaskHost::PumpUntil([] { return TaskStalled(gSlotTable.slots[0].task); }));
    DownloadTask *task = gSlotTable.slots[0].task;
    ASSERT_TRUE(TaskHost::PumpUntil([task] {
        RecoverStalledTasks();
        return LoadWord(task->state) != TaskDownloading &&
               (!task->threadHandle || WaitForSingleObject(task->threadHandle, 0) == WAIT_OBJECT_0);
    }, 60000));
    // Stopped for good: more ticks of the timer ask the server nothing more.
    int connections = server.Connections();
    TickRecovery(5);
    EXPECT_EQ(connections, server.Connections());
    EXPECT_NE(TaskDownloading, task->state);
    EXPECT_TRUE(FileExists(host.PathOf("refused.bin.hhh")));
    EXPECT_FALSE(FileExists(host.PathOf("refused.bin")));
    EXPECT_EQ(0, TaskHost::completions);
}

// A single stream (HTTP/1.0, no ranges) whose connection breaks off ends
// short. The window's timer starts it again from byte 0, as it recovers
// stalled segments: one that breaks off at the same byte every time is left
// idle after a few tries, and one whose server mends comes whole.
TEST_F(FaultDownloadTest, ASingleStreamThatEndedShortIsStartedAgainByTheTimer)
{
    resource.body = Pattern(1500000);
    resource.http10 = true;
    resource.dropAfter = 300000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "short.bin", 3));
    DownloadTask *task = gSlotTable.slots[0].task;
    auto endedShort = [task] {
        return LoadWord(task->state) == TaskIdle &&
               (!task->threadHandle || WaitForSingleObject(task->threadHandle, 0) == WAIT_OBJECT_0);
    };
    ASSERT_TRUE(TaskHost::PumpUntil(endedShort));
    int first = server.Connections();
    ASSERT_TRUE(TaskHost::PumpUntil([&] {
        RecoverStalledTasks();
        return endedShort() && server.Connections() > first + 4;
    }, 60000)) << "not started again";
    TickRecovery(10);
    int given = server.Connections();
    EXPECT_LE(given, first + 6) << "started again and again without a byte more";
    TickRecovery(5);
    EXPECT_EQ(given, server.Connections());
    EXPECT_EQ(0, TaskHost::completions);

    // Started by the user, it goes on being recovered: the server breaks off
    // once more, then mends.
    resource.dropAfter = 700000;
    StartTask(0);
    ASSERT_TRUE(TaskHost::PumpUntil(endedShort));
    resource.dropAfter = 0;
    ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0, 60000));
    EXPECT_EQ("", Difference(host.PathOf("short.bin"), resource.Body()));
    EXPECT_EQ(1, TaskHost::completions);
}

TEST_F(FaultDownloadTest, AServerThatIgnoresRangesStillYieldsTheFile)
{
    resource.body = Pattern(1234567);
    resource.honourRanges = false;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "noranges.bin", 5));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_EQ("", Difference(host.PathOf("noranges.bin"), resource.Body()));
}

// Paused after 600 KB, the server's file replaced by another of the same
// length: Start must not continue the old version's offsets with new bytes.
TEST_F(FaultDownloadTest, APausedTaskWhoseFileChangedStartsOver)
{
    for (bool honourIfRange : {false, true}) {
        SCOPED_TRACE(honourIfRange ? "server heeds If-Range" : "server ignores If-Range");
        ServeFirstVersion(3000000, honourIfRange);
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "changed.bin", 4));
        ASSERT_TRUE(TaskHost::WaitReceived(0, 600000));
        PauseTask(0);
        Replace(resource, "v2");
        resource.piece = 0;
        StartTask(0);
        ASSERT_TRUE(TaskHost::WaitFinalized(0));
        EXPECT_EQ("", Difference(host.PathOf("changed.bin"), resource.Body()));
        EXPECT_EQ(1, TaskHost::completions);
    }
}

// The file is replaced while segments run and their connections drop: every
// reconnect meets the new version. Not one of its bytes may join the old
// ones; the task starts over on the new version and ends with it whole.
TEST_F(FaultDownloadTest, AFileReplacedWhileConnectionsDropIsNeverStitched)
{
    for (bool honourIfRange : {false, true}) {
        SCOPED_TRACE(honourIfRange ? "server heeds If-Range" : "server ignores If-Range");
        ServeFirstVersion(3000000, honourIfRange);
        resource.dropAfter = 250000;
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "replaced.bin", 4));
        ASSERT_TRUE(TaskHost::WaitReceived(0, 600000));
        Replace(resource, "v2");
        resource.piece = 0;
        ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0));
        EXPECT_EQ("", Difference(host.PathOf("replaced.bin"), resource.Body()));
        EXPECT_EQ(1, TaskHost::completions);
    }
}

// The last segment's connection is slow, and the file is replaced just as
// the first connection that finished comes back to take over part of it:
// that helping range must not join the new version's bytes to the old ones.
// The file ends as one version whole, and the refused help is not asked
// for again and again.
TEST_F(FaultDownloadTest, AFileReplacedAsAHelpingRangeOpensIsNeverStitched)
{
    for (int variant = 0; variant < 4; ++variant) {
        bool honourIfRange = variant % 2 == 1;
        bool weakEtag = variant >= 2;
        SCOPED_TRACE(std::string(honourIfRange ? "server heeds If-Range" : "server ignores If-Range") +
                     (weakEtag ? ", weak ETag" : ""));
        ServeFirstVersion(5000000, honourIfRange);
        resource.weakEtag = weakEtag;
        std::string before = resource.Body(), after = OtherVersion(before);
        // The probe, which carries the first segment, then the four others.
        int base = server.Connections();
        resource.slowConnection = base + 4;
        resource.replaceAt = base + 5;
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "helped.bin", 5));
        ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0));
        int connections = server.Connections() - base;
        ASSERT_GT(connections, 5) << "no range was taken over";
        std::string got = FileContents(host.PathOf("helped.bin"));
        EXPECT_TRUE(got == before || got == after) << "a file of both versions";
        EXPECT_EQ(1, TaskHost::completions);
        EXPECT_LT(connections, 20) << "help refused as another version was asked for again and again";
        DeleteFileA(host.PathOf("helped.bin").c_str());
    }
}

// A server that marks its file with a weak ETag alone answers a weak
// If-Range with the whole file, as it must: no such If-Range goes out, and
// the file still comes in five ranges, the first over the probe's answer.
TEST_F(FaultDownloadTest, AWeakETagAloneStillGivesFiveRanges)
{
    resource.body = Pattern(3000000);
    resource.etag = "v1";
    resource.weakEtag = true;
    resource.honourIfRange = true;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "weak.bin", 5));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_EQ("", Difference(host.PathOf("weak.bin"), resource.Body()));
    EXPECT_GE(resource.rangesServed, 4) << "the first segment comes over the probe's answer";
    for (const std::string &sent : server.Requests())
        EXPECT_EQ(std::string::npos, sent.find("\r\nIf-Range: W/")) << sent;
}

// Paused while a connection helps the slow one, the file replaced, started
// again: the pieces of the old version are not carried into the new run,
// which fetches the new version whole.
TEST_F(FaultDownloadTest, PiecesOfAVersionReplacedDuringAPauseAreDropped)
{
    for (bool honourIfRange : {false, true}) {
        SCOPED_TRACE(honourIfRange ? "server heeds If-Range" : "server ignores If-Range");
        ServeFirstVersion(5000000, honourIfRange);
        resource.slowConnection = server.Connections() + 4;
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "carried.bin", 5));
        DownloadTask *task = gSlotTable.slots[0].task;
        ASSERT_TRUE(TaskHost::PumpUntil([task] {
            return LoadWord(task->pieceCount) > 0 && LoadWord(task->pieces[0].received) > 100000;
        }));
        PauseTask(0);
        Replace(resource, "v2");
        StartTask(0);
        ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0));
        EXPECT_EQ("", Difference(host.PathOf("carried.bin"), resource.Body()));
        EXPECT_EQ(1, TaskHost::completions);
        DeleteFileA(host.PathOf("carried.bin").c_str());
    }
}

// A server that turns away every connection beyond the first five (503): the
// slow segment's connection finishes the file alone, and the help it cannot
// get is asked for about once a second, not at every look.
TEST_F(FaultDownloadTest, HelpThatTheServerTurnsAwayIsAskedForSparingly)
{
    resource.body = Pattern(5000000);
    resource.etag = "v1";
    resource.piece = 16384;
    resource.pauseMs = 5;
    resource.slowConnection = 4;
    resource.refuseFrom = 5;
    resource.refuseCount = 1000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "turned-away.bin", 5));
    ASSERT_TRUE(TaskHost::WaitFinalizedWithRecovery(0));
    EXPECT_EQ("", Difference(host.PathOf("turned-away.bin"), resource.Body()));
    EXPECT_GT(server.Connections(), 5) << "no range was taken over";
    EXPECT_LT(server.Connections(), 14);
}

// Segment 0's range is answered, a later one's is not (the whole file, or a
// range that starts elsewhere): the task goes on as one stream from byte 0
// at once, without the stall recovery and without a wrong byte.
TEST_F(FaultDownloadTest, ARangeRefusedAfterTheFirstFallsBackToOneStream)
{
    const struct {
        const char *name;
        int wholeFrom, shiftedFrom;
        const char *etag;
    } cases[] = {
        {"whole.bin", 2, -1, ""},
        {"whole-tagged.bin", 2, -1, "v1"},
        {"shifted.bin", -1, 2, ""},
        {"shifted-tagged.bin", -1, 3, "v1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        resource.body = Pattern(2000000);
        resource.etag = c.etag;
        resource.wholeFrom = c.wholeFrom;
        resource.shiftedFrom = c.shiftedFrom;
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), c.name, 4));
        ASSERT_TRUE(TaskHost::WaitFinalized(0, 30000));
        EXPECT_EQ("", Difference(host.PathOf(c.name), resource.Body()));
        EXPECT_EQ(1, TaskHost::completions);
    }
}

// Fields whose name or value merely contain "Content-Length:" do not size
// the file: the file is the length the body is framed by, whole.
TEST_F(FaultDownloadTest, OnlyTheContentLengthFieldSizesTheFile)
{
    resource.body = Pattern(3000);
    for (const char *fields : {"X-Original-Content-Length: 10\r\n", "X-Note: Content-Length: 10\r\n"}) {
        SCOPED_TRACE(fields);
        resource.fieldsBefore = fields;
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "framed.bin", 2));
        ASSERT_TRUE(TaskHost::WaitFinalized(0, 30000));
        EXPECT_EQ("", Difference(host.PathOf("framed.bin"), resource.Body()));
        EXPECT_EQ(1, TaskHost::completions);
    }
}

// The probe asks for the whole file, and a server answers with a part of it
// (206): that part must not become the file. Only the whole file as one
// range is taken.
TEST_F(FaultDownloadTest, AProbeAnsweredWithAPartPutsNothingInPlace)
{
    for (size_t size : {1000u, 1000000u}) {
        for (size_t from : {size / 2, size_t(0)}) {
            SCOPED_TRACE(std::to_string(size) + " bytes, answered from " + std::to_string(from));
            const std::string body = Pattern(size);
            ScriptedServer partial([&body, from](ScriptedConnection &c) {
                unsigned long long first, last;
                if (!c.ReadRequest() || c.AskedRange(&first, &last))
                    return ServeBody(c, body);
                c.Send("HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
                       std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) +
                       "\r\nContent-Length: " + std::to_string(body.size() - from) + "\r\n\r\n" + body.substr(from));
            });
            TaskHost host;
            ASSERT_EQ(RAVLIX_ADMITTED, host.Start(partial.Url("/part.bin"), "part.bin", 3));
            if (from == 0) {
                ASSERT_TRUE(TaskHost::WaitFinalized(0));
                EXPECT_EQ("", Difference(host.PathOf("part.bin"), body));
                EXPECT_EQ(1, TaskHost::completions);
                DeleteFileA(host.PathOf("part.bin").c_str());
                continue;
            }
            ASSERT_TRUE(TaskHost::WaitState(0, TaskIdle));
            EXPECT_FALSE(FileExists(host.PathOf("part.bin")));
            EXPECT_FALSE(FileExists(host.PathOf("part.bin.hhh")));
            EXPECT_EQ(0, TaskHost::completions);
        }
    }
}

TEST_F(FaultDownloadTest, WithoutAUsableLengthNothingStartsAndNoFileIsMade)
{
    resource.body = Pattern(20000);
    const char *lengths[] = {"", "9223372036854775808", "-20000", "0"};
    for (const char *length : lengths) {
        SCOPED_TRACE(length);
        resource.sendLength = length[0] != '\0';
        resource.lengthText = length;
        TaskHost host;
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "nolength.bin", 3));
        ASSERT_TRUE(TaskHost::WaitState(0, TaskIdle));
        EXPECT_FALSE(FileExists(host.PathOf("nolength.bin.hhh")));
        EXPECT_FALSE(FileExists(host.PathOf("nolength.bin")));
        EXPECT_EQ(0, TaskHost::completions);
    }
}

TEST_F(FaultDownloadTest, AShortSingleStreamIsNotACompletion)
{
    resource.body = Pattern(300000);
    resource.http10 = true;
    resource.dropAfter = 120000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "short.bin", 1));
    ASSERT_TRUE(TaskHost::WaitState(0, TaskIdle));
    EXPECT_EQ(0, TaskHost::completions);
    EXPECT_EQ(0, TaskHost::finalizations);
    EXPECT_FALSE(FileExists(host.PathOf("short.bin")));
    EXPECT_TRUE(FileExists(host.PathOf("short.bin.hhh")));
    int section = TaskSection(*gSlotTable.slots[0].task);
    EXPECT_EQ(Url(), ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section), "URLNAME"));

    // Once the server delivers whole bodies, Start fetches the file.
    resource.dropAfter = 0;
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("short.bin"), resource.Body()));
}

// A file small enough for one read still arrives whole when the server sends
// it in pieces: the read hands out each piece as it comes.
TEST_F(FaultDownloadTest, ASmallFileSentInPiecesArrivesWhole)
{
    resource.body = Pattern(4000);
    resource.piece = 1000;
    resource.pauseMs = 30;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "small.bin", 3));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_EQ("", Difference(host.PathOf("small.bin"), resource.Body()));
}

TEST_F(FaultDownloadTest, PausingASingleStreamAndStartingFetchesItAgain)
{
    resource.body = Pattern(2000000);
    resource.http10 = true;
    resource.piece = 16384;
    resource.pauseMs = 5;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "stream.bin", 2));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 200000));
    PauseTask(0);
    DownloadTask *task = gSlotTable.slots[0].task;
    EXPECT_EQ(TaskPaused, task->state);
    EXPECT_EQ(SegmentStopped, task->segments[0].state);
    EXPECT_EQ(0, TaskHost::completions);
    resource.piece = 0;
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("stream.bin"), resource.Body()));
    EXPECT_EQ(1, TaskHost::completions);
}

// Saves a segmented download in the middle, as Quit does.
void DownloadHalfAndQuit(TaskHost &host, Resource &resource, const std::string &url)
{
    resource.piece = 8192;
    resource.pauseMs = 5;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, "session.bin", 3));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 300000));
    PauseAllTasks();
    EXPECT_EQ(1, SaveAndCloseTask(0));
    resource.piece = 0;
    ClearSlotTable();
}

TEST_F(FaultDownloadTest, AFileChangedBetweenSessionsStartsOver)
{
    resource.body = Pattern(1500000);
    resource.etag = "v1";
    TaskHost host;
    DownloadHalfAndQuit(host, resource, Url());
    // Same length, new version.
    {
        std::lock_guard<std::mutex> hold(resource.lock);
        for (char &c : resource.body)
            c = static_cast<char>(~c);
        resource.etag = "v2";
    }
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("session.bin"), resource.Body()));
}

TEST_F(FaultDownloadTest, AFileOfAnotherLengthStartsOver)
{
    resource.body = Pattern(1500000);
    TaskHost host;
    DownloadHalfAndQuit(host, resource, Url());
    resource.body = Pattern(1400000).substr(7) + "tail";
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("session.bin"), resource.Body()));
}

TEST_F(FaultDownloadTest, ADeletedTemporaryFileStartsOver)
{
    resource.body = Pattern(1500000);
    TaskHost host;
    DownloadHalfAndQuit(host, resource, Url());
    ASSERT_TRUE(DeleteFileA(host.PathOf("session.bin.hhh").c_str()));
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("session.bin"), resource.Body()));
}

TEST_F(FaultDownloadTest, AnUnchangedFileResumesFromItsOffsets)
{
    resource.body = Pattern(1500000);
    resource.etag = "same";
    TaskHost host;
    DownloadHalfAndQuit(host, resource, Url());
    int before = server.Connections();
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("session.bin"), resource.Body()));
    // The resumed ranges start past the bytes already there.
    std::vector<std::string> requests = server.Requests();
    bool resumedMidway = false;
    for (size_t i = before; i < requests.size(); ++i)
        resumedMidway = resumedMidway || requests[i].find("Range: bytes=0-") == std::string::npos;
    EXPECT_TRUE(resumedMidway);
}

// The disk takes no more bytes in the middle of a single stream (here the
// task's file handle is swapped for a read-only one, which refuses every
// write as a full disk would): the stream stops where the file stopped being
// right, the host lives on, the record stays, and a later start completes.
TEST_F(FaultDownloadTest, AFileThatTakesNoMoreStopsASingleStreamCleanly)
{
    resource.body = Pattern(2000000);
    resource.http10 = true;
    resource.piece = 16384;
    resource.pauseMs = 5;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "full.bin", 2));
    DownloadTask *task = gSlotTable.slots[0].task;
    int section = TaskSection(*task);
    ASSERT_TRUE(TaskHost::WaitReceived(0, 200000));
    std::string temp = host.PathOf("full.bin.hhh");
    HANDLE readOnly = CreateFileA(temp.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, readOnly);
    HANDLE writable = task->fileHandle;
    task->fileHandle = readOnly;  // closed by the task from here on
    bool stopped = TaskHost::WaitState(0, TaskIdle, 20000);
    CloseHandle(writable);
    ASSERT_TRUE(stopped) << "the stream did not stop";
    EXPECT_EQ(0, TaskHost::completions);
    EXPECT_EQ(0, TaskHost::finalizations);
    EXPECT_FALSE(FileExists(host.PathOf("full.bin")));
    DWORD received = task->segments[0].received;
    EXPECT_GE(received, 200000u);
    EXPECT_LT(received, 2000000u);
    std::string written = FileContents(temp);
    ASSERT_EQ(2000000u, written.size());
    EXPECT_TRUE(written.compare(0, received, resource.Body(), 0, received) == 0) << "a counted byte is wrong";
    std::string name = "FILE" + std::to_string(section);
    EXPECT_EQ(Url(), ProfileValue(SettingsFilePath(), name, "URLNAME"));
    // Claimed as far as a flush took the bytes to the disk: here the
    // read-only handle flushes nothing more.
    EXPECT_LE(strtoull(ProfileValue(SettingsFilePath(), name, "OFFSET0").c_str(), nullptr, 10), received);

    resource.piece = 0;
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("full.bin"), resource.Body()));
    EXPECT_EQ(1, TaskHost::completions);
}

// The rename at the finish fails (a folder holds the final name, as the
// player holding the old file open would make it fail): the task stays in
// the window, complete and paused, with a record that says "all bytes in",
// and nothing is written to the history. Start and Start All while the name
// is still held try the rename only. The window's upkeep or a Start puts the
// file into place once it can; neither they nor the next host, after a Quit
// in between, fetch anything again (here the server would drop a new fetch
// after 1000 bytes).
TEST_F(FaultDownloadTest, AFailedRenameKeepsTheTaskAndIsTriedAgainWithoutFetching)
{
    resource.body = Pattern(1500000);
    resource.etag = "v1";
    char historyPath[MAX_PATH];
    HistoryFilePath(historyPath, sizeof(historyPath));
    for (bool http10 : {false, true}) {
        for (bool quitBetween : {false, true}) {
            SCOPED_TRACE(std::string(http10 ? "single stream" : "segments") + (quitBetween ? ", Quit between" : ""));
            DeleteFileA(historyPath);
            resource.http10 = http10;
            resource.dropAfter = 0;
            TaskHost host;
            std::string finalPath = host.PathOf("kept.bin");
            std::string temp = finalPath + ".hhh";
            ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "kept.bin", 3));
            DownloadTask *task = gSlotTable.slots[0].task;
            std::string name = "FILE" + std::to_string(TaskSection(*task));
            // Nothing is finalized before the window's messages run.
            ASSERT_TRUE(CreateDirectoryA(finalPath.c_str(), nullptr));
            ASSERT_TRUE(TaskHost::PumpUntil([task] { return TaskHost::finalizations > 0 && task->state == TaskPaused; }));
            EXPECT_EQ(task, gSlotTable.slots[0].task) << "the task left the window";
            EXPECT_EQ(1, TaskHost::completions);
            EXPECT_EQ("", Difference(temp, resource.Body()));
            EXPECT_EQ(temp, ProfileValue(SettingsFilePath(), name, "DESTNAME"));
            int index;
            EXPECT_FALSE(FindHistoryRecord("kept.bin", &index));
            FinalizeUnheardCompletions();
            EXPECT_EQ(task, gSlotTable.slots[0].task) << "placed over a folder";

            resource.dropAfter = 1000;
            int connections = server.Connections();
            std::string claimed = ProfileValue(SettingsFilePath(), name, "OFFSET0");
            StartTask(0);
            StartAllTasks();
            TaskHost::PumpUntil([] { return false; }, 500);
            EXPECT_EQ(task, gSlotTable.slots[0].task) << "placed over a folder";
            EXPECT_EQ(TaskPaused, task->state) << "fetching a complete download again";
            EXPECT_EQ(claimed, ProfileValue(SettingsFilePath(), name, "OFFSET0"));
            EXPECT_EQ(1, TaskHost::completions);
            if (quitBetween) {
                SaveAndCloseTask(0);
                EXPECT_TRUE(TaskHost::AllSlotsEmpty());
                ClearSlotTable();
                ASSERT_TRUE(RemoveDirectoryA(finalPath.c_str()));
                ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
                ASSERT_TRUE(TaskHost::WaitFinalized(0, 20000));
            } else {
                ASSERT_TRUE(RemoveDirectoryA(finalPath.c_str()));
                if (http10)
                    StartTask(0);
                else
                    FinalizeUnheardCompletions();
                EXPECT_TRUE(TaskHost::AllSlotsEmpty());
            }
            EXPECT_EQ("", Difference(finalPath, resource.Body()));
            EXPECT_FALSE(FileExists(temp));
            // A restore asks the server once which version it has (a record
            // keeps no length), then puts the file in place unfetched.
            EXPECT_EQ(connections + (quitBetween ? 1 : 0), server.Connections()) << "fetched again";
            EXPECT_EQ("0", ProfileValue(SettingsFilePath(), name, "MULTHREAD"));
            EXPECT_TRUE(FindHistoryRecord("kept.bin", &index));
            DeleteFileA(finalPath.c_str());
        }
    }
}

// Pausing must not wait for a server that sends nothing more.
DWORD TimePause(int slot)
{
    DWORD start = GetTickCount();
    PauseTask(slot);
    return GetTickCount() - start;
}

TEST_F(FaultDownloadTest, PausingAStalledStreamReturnsPromptly)
{
    resource.body = Pattern(600000);
    resource.http10 = true;
    resource.stallAfter = 100000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "stalled.bin", 1));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 100000));
    // Far below the 30 s the component waits without a byte.
    EXPECT_LT(TimePause(0), 10000u);
    EXPECT_EQ(TaskPaused, gSlotTable.slots[0].task->state);
}

TEST_F(FaultDownloadTest, PausingStalledSegmentsReturnsPromptly)
{
    resource.body = Pattern(600000);
    resource.stallAfter = 50000;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "stalled.bin", 3));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 150000));
    EXPECT_LT(TimePause(0), 10000u);
    EXPECT_EQ(AggregateAllStopped, AggregateStatus(*gSlotTable.slots[0].task));
}

// Start after a pause probes the server again; a pause while that probe
// waits for a silent server returns at once, and a later start still ends
// with the right file.
TEST_F(FaultDownloadTest, PausingWhileTheResumingProbeWaitsReturnsPromptly)
{
    resource.body = Pattern(1500000);
    resource.etag = "v1";
    resource.piece = 16384;
    resource.pauseMs = 5;
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(Url(), "reprobe.bin", 3));
    ASSERT_TRUE(TaskHost::WaitReceived(0, 300000));
    PauseTask(0);
    {
        std::lock_guard<std::mutex> hold(resource.lock);
        resource.silentFrom = server.Connections();
        resource.piece = 0;
    }
    int silentFrom = resource.silentFrom;
    StartTask(0);
    ASSERT_TRUE(TaskHost::PumpUntil([this, silentFrom] { return server.Connections() > silentFrom; }, 10000));
    EXPECT_LT(TimePause(0), 10000u);
    DownloadTask *task = gSlotTable.slots[0].task;
    EXPECT_EQ(TaskPaused, task->state);
    EXPECT_EQ(nullptr, task->threadHandle);
    EXPECT_EQ(0, TaskHost::completions);
    {
        std::lock_guard<std::mutex> hold(resource.lock);
        resource.silentFrom = -1;
    }
    StartTask(0);
    ASSERT_TRUE(TaskHost::WaitFinalized(0));
    EXPECT_EQ("", Difference(host.PathOf("reprobe.bin"), resource.Body()));
}

TEST_F(FaultDownloadTest, PausingWhileTheProbeWaitsReturnsPromptly)
{
    ScriptedServer silent([](ScriptedConnection &c) {
        c.ReadRequest();
        c.WaitForClientClose();
    });
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(silent.Url("/silent.bin"), "silent.bin", 3));
    ASSERT_TRUE(TaskHost::PumpUntil([&silent] { return silent.Connections() > 0; }, 10000));
    EXPECT_LT(TimePause(0), 10000u);
    DownloadTask *task = gSlotTable.slots[0].task;
    EXPECT_EQ(TaskPaused, task->state);
    EXPECT_EQ(nullptr, task->threadHandle);
    DeleteTask(0);
}

}  // namespace
