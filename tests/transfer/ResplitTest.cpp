// Connections that finish their segment take over the rest of a slow one:
// against a server that serves one connection in five at a tenth of the
// others' rate (tests/peers/generated-server.py, /uneven/), one that also
// drops the first helping connection (/drop/), a pause and a killed host in
// the middle of it, and a record of the build before re-splitting. Every copy
// is compared with the generator.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "peers/PeerFiles.h"
#include "store/HistoryStore.h"
#include "store/PieceRanges.h"
#include "store/ResumeRecords.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/GeneratedBytes.h"
#include "tests/support/TaskHost.h"
#include "tests/support/WholeFile.h"
#include "transfer/Pieces.h"
#include "transfer/TaskRecords.h"

using namespace testing_support;

namespace {

const ULONGLONG kSize = 24u << 20;
const DWORD kWaitMs = 120000;

// A key of its own per case and run: the server counts requests per key.
std::string NewKey(const char *name)
{
    return std::string(name) + std::to_string(GetTickCount());
}

std::string UnevenUrl(const char *kind, const std::string &key, ULONGLONG size = kSize)
{
    return GeneratedUrl(kind, key, size);
}

int RequestsUnder(const std::string &key)
{
    return static_cast<int>(CountedUnder("count", key));
}

ULONGLONG RecordedOffset(int section, int segment)
{
    std::string text = ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section),
                                    ("OFFSET" + std::to_string(segment)).c_str());
    return strtoull(text.c_str(), nullptr, 10);
}

// PIECES<segment> of FILE<section>; empty when it is absent.
std::string RecordedPieces(int section, int segment)
{
    std::string value = ProfileValue(SettingsFilePath(), "FILE" + std::to_string(section),
                                     ("PIECES" + std::to_string(segment)).c_str());
    return value == "<absent>" ? std::string() : value;
}

// Every segment's recorded count lies within its fixed range, so do the
// pieces recorded beyond it, and the bytes they claim are the source's
// (by default the generator's): difference(first, end) tells where the
// temporary file differs from it. Returns how many bytes the record claims.
// A stretch of the file, first to end (not included).
struct Stretch {
    ULONGLONG first, end;
};

ULONGLONG ExpectRecordedClaimsRight(const std::string &temp, int section, ULONGLONG size, int connections,
                                    std::function<std::string(ULONGLONG, ULONGLONG)> difference = nullptr,
                                    std::vector<Stretch> *claims = nullptr)
{
    if (!difference)
        difference = [&temp](ULONGLONG first, ULONGLONG end) { return DifferenceFromGenerated(temp, first, end); };
    ULONGLONG segmentSize = size / connections, claimed = 0;
    for (int i = 0; i < connections; ++i) {
        ULONGLONG start = i * segmentSize;
        ULONGLONG length = i == connections - 1 ? size - start : segmentSize;
        ULONGLONG count = RecordedOffset(section, i);
        EXPECT_LE(count, length) << "segment " << i;
        EXPECT_EQ("", difference(start, start + (count < length ? count : length))) << "segment " << i;
        claimed += count;
        if (claims)
            claims->push_back({start, start + count});
        StoredPiece pieces[kMaxStoredPieces];
        int read = ReadPieceRanges(RecordedPieces(section, i).c_str(), i, pieces, kMaxStoredPieces);
        EXPECT_GE(read, 0) << "segment " << i << ": " << RecordedPieces(section, i);
        for (int k = 0; k < read; ++k) {
            EXPECT_GE(pieces[k].first, start + count) << "segment " << i;
            EXPECT_LE(pieces[k].end, start + length) << "segment " << i;
            EXPECT_EQ("", difference(pieces[k].first, pieces[k].end)) << "segment " << i;
            claimed += pieces[k].end - pieces[k].first;
            if (claims)
                claims->push_back({pieces[k].first, pieces[k].end});
        }
    }
    return claimed;
}

bool PiecesUnderWay(const DownloadTask *task)
{
    int pieces = LoadWord(task->pieceCount);
    for (int p = 0; p < pieces; ++p) {
        if (LoadWord(task->pieces[p].received) > 0 && !LoadWord(task->pieces[p].finished))
            return true;
    }
    return false;
}

class ResplitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char path[MAX_PATH];
        HistoryFilePath(path, sizeof(path));
        DeleteFileA(path);
    }

    // Downloads url with five connections, watching the window's sizes all
    // along: the received size never goes back and the total never changes.
    void FetchWatching(TaskHost &host, const std::string &url, const char *name, ULONGLONG size = kSize)
    {
        ASSERT_EQ(RAVLIX_ADMITTED, host.Start(url, name, 5));
        ULONGLONG lastReceived = 0, total = 0;
        int backwards = 0, totalChanges = 0;
        bool finished = TaskHost::PumpUntil(
            [&] {
                if (TaskHost::SlotEmpty(0))
                    return true;
                ULONGLONG received = ReceivedBytes(0), size = TotalBytes(0);
                backwards += received < lastReceived ? 1 : 0;
                lastReceived = received;
                if (size != 0 && total != 0 && size != total)
                    ++totalChanges;
                if (size != 0)
                    total = size;
                return false;
            },
            kWaitMs);
        ASSERT_TRUE(finished);
        EXPECT_EQ(0, backwards) << "the received size went back";
        EXPECT_EQ(0, totalChanges);
        EXPECT_EQ(size, total);
        EXPECT_EQ(1, TaskHost::completions) << "announced once";
        std::string path = host.PathOf(name);
        EXPECT_EQ("", DifferenceFromGenerated(path, 0, size, size));
        EXPECT_FALSE(FileExists(path + ".hhh"));
        DeleteFileA(path.c_str());
    }
};

// The slow fifth is taken over: more requests than five segments (the first
// over the probe's answer) reach the server, and the file is whole.
TEST_F(ResplitTest, TheSlowSegmentIsTakenOverOnAnUnevenServer)
{
    TaskHost host;
    std::string key = NewKey("uneven");
    FetchWatching(host, UnevenUrl("uneven", key), "uneven.bin");
    EXPECT_GT(RequestsUnder(key), 5) << "no connection helped the slow one";
}

// The server ends the first helping connection after 256 KiB: the piece goes
// on over a new connection from where it stopped.
TEST_F(ResplitTest, AHelpingConnectionThatIsDroppedStillYieldsTheWholeFile)
{
    TaskHost host;
    std::string key = NewKey("drop");
    FetchWatching(host, UnevenUrl("drop", key), "dropped.bin");
    EXPECT_GT(RequestsUnder(key), 6) << "the dropped piece was not asked for again";
}

// A server that sends each new request a second's worth at once, as nginx's
// limit_rate does, is asked in requests of about a burst and a second each
// once that is seen; one that holds each request to the same rate from its
// first byte gains nothing from a new request and is asked once per segment
// (one helper at most, should a segment open late).
TEST_F(ResplitTest, OnlyAServerThatSendsEachRequestABurstIsAskedInShortRequests)
{
    const ULONGLONG size = 64u << 20;
    std::string burst = NewKey("burst"), paced = NewKey("paced");
    {
        TaskHost host;
        FetchWatching(host, UnevenUrl("burst", burst, size), "burst.bin", size);
    }
    EXPECT_GT(RequestsUnder(burst), 10) << "the requests were not shortened";

    TaskHost host;
    FetchWatching(host, UnevenUrl("paced", paced, size / 2), "paced.bin", size / 2);
    EXPECT_LE(RequestsUnder(paced), 6) << "requests were shortened with nothing to gain";
}

// nginx's limit_rate grants each request a second's worth at once and then
// a second's worth at each second of its clock: the first answers stand
// still after their bursts, and from then on the file is asked for in
// requests of a burst, with no held rate to wait for.
TEST_F(ResplitTest, AServerThatGrantsASecondAtATimeIsAskedInBurstsFromTheFirstAnswers)
{
    std::string source;
    ASSERT_TRUE(ReadPeerFile("f67108864.bin", &source));
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(PeerUrl("RAVLIX_NGINX_PORT", "/slow/f67108864.bin"), "granted.bin", 5));
    ULONGLONG burst = 0, held = 0;
    int looksSinceBurst = 0;
    ASSERT_TRUE(TaskHost::PumpUntil(
        [&] {
            if (TaskHost::SlotEmpty(0))
                return true;
            // The worker writes the held rate just after the burst: it is
            // read a look later.
            const RunFigures &run = gSlotTable.slots[0].task->run;
            if (burst && ++looksSinceBurst == 2)
                held = run.heldRate;
            if (!burst)
                burst = run.burstBytes;
            return false;
        },
        kWaitMs));
    EXPECT_GE(burst, 1000000u) << "no burst was seen";
    EXPECT_EQ(0u, held) << "the bursts were taken for a held rate";
    EXPECT_EQ(1, TaskHost::completions);
    EXPECT_EQ("", Difference(host.PathOf("granted.bin"), source));
    DeleteFileA(host.PathOf("granted.bin").c_str());
}

// Paused while pieces are under way: the record counts only what is
// contiguous from each segment's start, those bytes are right, nothing
// arrives while paused, and a start goes on with the pieces where they
// were (the window's received size never goes back) and finishes the file.
// On the burst server some pieces are queued, never opened, at the pause.
void PauseAndStartDuringResplitting(const char *kind, ULONGLONG size)
{
    TaskHost host;
    ASSERT_EQ(RAVLIX_ADMITTED, host.Start(UnevenUrl(kind, NewKey("pause"), size), "paused.bin", 5));
    DownloadTask *task = gSlotTable.slots[0].task;
    int section = TaskSection(*task);
    ASSERT_TRUE(TaskHost::PumpUntil([task] { return PiecesUnderWay(task); }, kWaitMs));
    PauseTask(0);
    ASSERT_EQ(TaskPaused, task->state);
    EXPECT_EQ(AggregateAllStopped, AggregateStatus(*task));
    std::string temp = host.PathOf("paused.bin.hhh");
    ExpectRecordedClaimsRight(temp, section, size, 5);
    ULONGLONG received = ReceivedBytes(0);
    Sleep(500);
    EXPECT_EQ(received, ReceivedBytes(0)) << "nothing arrives while paused";

    StartTask(0);
    ULONGLONG least = received;
    ASSERT_TRUE(TaskHost::PumpUntil(
        [&least] {
            if (TaskHost::SlotEmpty(0))
                return true;
            ULONGLONG now = ReceivedBytes(0);
            least = now < least ? now : least;
            return false;
        },
        kWaitMs));
    EXPECT_EQ(received, least) << "the received size went back after the start";
    EXPECT_EQ(1, TaskHost::completions);
    std::string path = host.PathOf("paused.bin");
    EXPECT_EQ("", DifferenceFromGenerated(path, 0, size, size));
    DeleteFileA(path.c_str());
}

TEST_F(ResplitTest, APauseDuringResplittingResumesToTheWholeFile)
{
    PauseAndStartDuringResplitting("uneven", kSize);
}

TEST_F(ResplitTest, APauseBetweenShortRequestsResumesToTheWholeFile)
{
    PauseAndStartDuringResplitting("burst", 64u << 20);
}

// What a restored task may fetch besides the bytes its record lacks: its
// probe's answer, closed once its header is in, which a server that sends
// every request a burst (2 MB here) has largely sent by then.
const ULONGLONG kProbeSlack = 3u << 20;

// A host killed in the middle of re-split work, once underWay holds, leaves a
// record whose claims are right; the next host fetches only what the record
// lacks (the server counts its bytes) and resumes to the whole file.
template <typename Condition>
void KillAndResume(const std::string &kind, ULONGLONG size, Condition underWay)
{
    TaskHost host;
    std::string key = NewKey("killed");
    ChildProcess other("KillableHost.exe " + UnevenUrl(kind.c_str(), key, size) + " killed.bin 5");
    ASSERT_TRUE(other.started);
    bool reached = TaskHost::PumpUntil(underWay, kWaitMs);
    Sleep(300);
    other.Kill();
    ASSERT_TRUE(reached);
    EXPECT_GT(RequestsUnder(key), 5) << "no range was taken over before the kill";
    std::string temp = host.PathOf("killed.bin.hhh");
    ASSERT_TRUE(FileExists(temp)) << "the download ended before the kill";
    ULONGLONG claimed = ExpectRecordedClaimsRight(temp, 1, size, 5);

    long long sentBefore = CountedUnder("sent", key);
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0, kWaitMs));
    EXPECT_EQ(1, TaskHost::completions);
    std::string path = host.PathOf("killed.bin");
    EXPECT_EQ("", DifferenceFromGenerated(path, 0, size, size));
    EXPECT_LE(static_cast<ULONGLONG>(CountedUnder("sent", key) - sentBefore), size - claimed + kProbeSlack)
        << "bytes the record claimed were fetched again";
    DeleteFileA(path.c_str());
}

// Segment 0 is complete and the slow segment 3 is not: the fast connections
// help it. Larger than the others, so that the kill comes before they are done.
TEST_F(ResplitTest, AHostKilledDuringResplittingIsResumedFromItsRecord)
{
    const ULONGLONG size = 128u << 20, segmentSize = size / 5;
    KillAndResume("uneven", size,
                  [=] { return RecordedOffset(1, 0) == segmentSize && RecordedOffset(1, 3) < segmentSize; });
}

// Once the fast connections have taken pieces off the end of the slow
// segment 3, which lie beyond its offset in the record.
TEST_F(ResplitTest, AHostKilledWithPiecesBeyondASegmentsOffsetFetchesOnlyWhatItsRecordLacks)
{
    KillAndResume("uneven", 128u << 20, [] { return !RecordedPieces(1, 3).empty(); });
}

// The body bytes nginx has sent from its location /limited/, as its log says
// once each answer is done.
// The answers nginx's /limited/ location logged: what each sent, from which
// byte of the file (its Range header; 0 without one).
std::vector<Stretch> LimitedAnswers()
{
    const char *root = getenv("RAVLIX_PEER_ROOT");
    std::string log = root ? ReadWholeFile(std::string("Z:") + root + "/../limited.log") : std::string();
    std::vector<Stretch> answers;
    for (const char *line = log.c_str(); *line;) {
        char *rest;
        ULONGLONG sent = strtoull(line, &rest, 10);
        const char *range = strstr(rest, "bytes=");
        const char *next = strchr(line, '\n');
        ULONGLONG first = range && (!next || range < next) ? strtoull(range + 6, nullptr, 10) : 0;
        answers.push_back({first, first + sent});
        line = next ? next + 1 : line + strlen(line);
    }
    return answers;
}

ULONGLONG SentFromLimited()
{
    ULONGLONG sum = 0;
    for (const Stretch &answer : LimitedAnswers())
        sum += answer.end - answer.first;
    return sum;
}

// Of the answers from the index-th on, the bytes sent that claims hold.
ULONGLONG ClaimedBytesSentAgain(size_t index, const std::vector<Stretch> &claims)
{
    std::vector<Stretch> answers = LimitedAnswers();
    ULONGLONG again = 0;
    for (size_t i = index; i < answers.size(); ++i) {
        for (const Stretch &claim : claims) {
            ULONGLONG first = answers[i].first > claim.first ? answers[i].first : claim.first;
            ULONGLONG end = answers[i].end < claim.end ? answers[i].end : claim.end;
            again += end > first ? end - first : 0;
        }
    }
    return again;
}

// nginx grants each request its first second at once and five requests a
// second, queueing the rest: the worker opens one short request after
// another for the whole download, and the file's flush and the record keep
// up all the same. A kill once 40 MB were sent finds the record claiming all
// but the last save period and the requests in flight (at 5 MB/s, 12.5 MB
// and five bursts; 20 MB allowed), and the next host fetches only the rest.
TEST_F(ResplitTest, TheRecordKeepsUpWithAServerThatQueuesRequests)
{
    const ULONGLONG size = 64u << 20, killAt = 40u << 20, allowed = 20u << 20;
    std::string source;
    ASSERT_TRUE(ReadPeerFile("f67108864.bin", &source));
    TaskHost host;
    ULONGLONG before = SentFromLimited();
    ChildProcess other("KillableHost.exe " + PeerUrl("RAVLIX_NGINX_PORT", "/limited/f67108864.bin") +
                       " queued.bin 5");
    ASSERT_TRUE(other.started);
    ULONGLONG sent = 0;
    bool reached = TaskHost::PumpUntil([&] { return (sent = SentFromLimited() - before) >= killAt; }, kWaitMs);
    other.Kill();
    ASSERT_TRUE(reached);
    std::string temp = host.PathOf("queued.bin.hhh");
    std::string partial = ReadWholeFile(temp);
    ASSERT_EQ(size, partial.size()) << "the download ended before the kill";
    std::vector<Stretch> claims;
    ULONGLONG claimed = ExpectRecordedClaimsRight(
        temp, 1, size, 5,
        [&](ULONGLONG first, ULONGLONG end) {
            return partial.compare(first, end - first, source, first, end - first) == 0 ? "" : "differs";
        },
        &claims);
    EXPECT_GE(claimed + allowed, sent) << "the record lags behind what was written";

    // nginx logs an answer the kill cut off when it next writes to it: a
    // second later at most under limit_rate, but a request limit_req still
    // queued (20 at five a second) first waits its turn, up to 4 s, and then
    // sends what the socket takes before it learns the client is gone. The
    // log has to stand still longer than that before the next host's
    // answers are told from the killed one's.
    size_t answers = 0;
    for (size_t last = ~size_t(0); (answers = LimitedAnswers().size()) != last; last = answers)
        Sleep(5000);
    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
    ASSERT_TRUE(TaskHost::WaitFinalized(0, kWaitMs));
    EXPECT_EQ("", Difference(host.PathOf("queued.bin"), source));
    // Counted by where each answer's bytes lie, not by their sum: answers
    // cut short (a piece taken off a range) send bytes nobody keeps, which
    // are no bytes the record claimed.
    EXPECT_LE(ClaimedBytesSentAgain(answers, claims), kProbeSlack) << "bytes the record claimed were fetched again";
    DeleteFileA(host.PathOf("queued.bin").c_str());
}

// On the burst server, once short requests have joined segment 0 past its
// first one and more of it is still to come.
TEST_F(ResplitTest, AHostKilledBetweenShortRequestsIsResumedFromItsRecord)
{
    const ULONGLONG size = 128u << 20, segmentSize = size / 5, margin = 8u << 20;
    KillAndResume("burst", size, [=] {
        ULONGLONG count = RecordedOffset(1, 0);
        return count >= margin && count + margin < segmentSize;
    });
}

// A record made by hand beside a temporary file that holds the generator's
// bytes where the record rightly claims them and garbage everywhere else:
// the restore fetches what the record lacks, no more (the server counts its
// bytes), and a piece key written wrongly is refused as a whole, so the
// garbage under it is fetched. Read by a version that knows no pieces (the
// keys gone), the record resumes to the same file from its offsets; once
// such a version saved the record again (an offset changed), stale keys are
// not trusted.
TEST_F(ResplitTest, ARecordsPiecesAreFetchedAroundAndWrongOnesAreNotTrusted)
{
    const ULONGLONG size = 10u << 20, segment = size / 5, kib = 1024, offset = 512 * kib;
    const ULONGLONG s3 = 3 * segment, s4 = 4 * segment;
    // The pieces the record rightly claims: one in segment 1, one that
    // continues segment 2's offset, two in segment 3.
    const StoredPiece good[] = {{1, segment + 1024 * kib, segment + 1536 * kib},
                                {2, 2 * segment + offset, 2 * segment + offset + 256 * kib},
                                {3, s3 + 768 * kib, s3 + 1024 * kib},
                                {3, s3 + 1536 * kib, s4}};
    ULONGLONG goodBytes = 0;
    for (const StoredPiece &piece : good)
        goodBytes += piece.end - piece.first;
    const ULONGLONG missing = size - 5 * offset - goodBytes;
    // The probe's answer, from a server that sends no burst.
    const ULONGLONG kPacedProbeSlack = 512 * kib;
    auto range = [](ULONGLONG first, ULONGLONG end) { return std::to_string(first) + "-" + std::to_string(end - 1); };
    struct Case {
        const char *name;
        int segment;          // whose PIECES key is written over with text; -1: none
        std::string text;
        ULONGLONG garbageFirst, garbageEnd;  // claimed by that key, and garbage
        bool dropKeys;        // no PIECES keys, as a version that knows none reads the record
        bool staleOwner;      // OFFSET0 lower, as such a version saves its progress
    };
    const Case cases[] = {
        {"right", -1, "", 0, 0, false, false},
        {"read by a version without pieces", -1, "", 0, 0, true, false},
        {"saved again by a version without pieces", 3, range(s3 + 768 * kib, s3 + 1024 * kib), s3 + 768 * kib,
         s3 + 1024 * kib, false, true},
        {"past its segment", 3, range(s3 + 1536 * kib, s4 + 64 * kib), s3 + 1536 * kib, s4, false, false},
        {"within its offset", 3, range(s3 + 256 * kib, s3 + 1024 * kib), s3 + offset, s3 + 1024 * kib, false, false},
        {"overlapping", 3, range(s3 + 768 * kib, s3 + 1024 * kib) + "," + range(s3 + 900 * kib, s3 + 1200 * kib),
         s3 + 768 * kib, s3 + 1200 * kib, false, false},
        {"past the file", 4, range(s4 + 1536 * kib, size + 100), s4 + 1536 * kib, size, false, false},
        {"not ranges", 3, "786432 to 1048575", 0, 0, false, false},
    };
    static const GeneratedBytes generator;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TaskHost host;
        std::string key = NewKey("pieces"), temp = host.PathOf("pieces.bin.hhh");
        StoredRecord record = {};
        record.section = 1;
        record.connectionCount = 5;
        strcpy(record.url, UnevenUrl("paced", key, size).c_str());
        strcpy(record.tempPath, temp.c_str());
        strcpy(record.validator, ("ETag: \"gen-" + std::to_string(size) + "\"").c_str());
        for (int i = 0; i < 5; ++i)
            record.offsets[i] = offset;
        record.pieceCount = 4;
        memcpy(record.pieces, good, sizeof(good));
        ASSERT_TRUE(WriteResumeRecord(record));
        if (c.segment >= 0)
            WritePrivateProfileStringA("FILE1", ("PIECES" + std::to_string(c.segment)).c_str(), c.text.c_str(),
                                       "KELMORA.ini");
        for (int i = 0; c.dropKeys && i < 5; ++i)
            WritePrivateProfileStringA("FILE1", ("PIECES" + std::to_string(i)).c_str(), nullptr, "KELMORA.ini");
        if (c.dropKeys)
            WritePrivateProfileStringA("FILE1", "PIECESOF", nullptr, "KELMORA.ini");
        if (c.staleOwner)
            WritePrivateProfileStringA("FILE1", "OFFSET0", std::to_string(offset / 2).c_str(), "KELMORA.ini");

        std::string bytes(size, '\xEE');
        auto fill = [&](ULONGLONG first, ULONGLONG end) {
            generator.Fill(first, reinterpret_cast<BYTE *>(&bytes[first]), end - first);
        };
        for (int i = 0; i < 5; ++i)
            fill(i * segment, i * segment + offset);
        for (const StoredPiece &piece : good)
            fill(piece.first, piece.end);
        bytes.replace(c.garbageFirst, c.garbageEnd - c.garbageFirst, c.garbageEnd - c.garbageFirst, '\xEE');
        ASSERT_TRUE(WriteWholeFile(temp, bytes));

        ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback));
        ASSERT_TRUE(TaskHost::WaitFinalized(0, kWaitMs));
        std::string path = host.PathOf("pieces.bin");
        EXPECT_EQ("", DifferenceFromGenerated(path, 0, size, size));
        ULONGLONG sent = static_cast<ULONGLONG>(CountedUnder("sent", key));
        EXPECT_GE(sent, missing);
        if (c.dropKeys) {
            EXPECT_GE(sent, missing + goodBytes) << "the pieces were fetched again";
        } else if (c.segment < 0) {
            EXPECT_LE(sent, missing + kPacedProbeSlack) << "bytes the record claimed were fetched again";
        }
        DeleteFileA(path.c_str());
    }
}

// A record the build before re-splitting wrote (tests/transfer/data): its
// counts are taken as they stand and the task finishes on the uneven server.
TEST_F(ResplitTest, ARecordOfThePreviousBuildResumes)
{
    const char *data = getenv("RAVLIX_TRANSFER_DATA");
    ASSERT_NE(nullptr, data);
    TaskHost host;
    std::string temp = host.PathOf("earlier.bin.hhh");
    std::string url = UnevenUrl("uneven", NewKey("earlier"));
    std::string record = ReadWholeFile(std::string("Z:") + data + "/record-before-resplit.ini");
    ASSERT_FALSE(record.empty());
    for (auto [mark, value] : {std::make_pair(std::string("@URL@"), url), std::make_pair(std::string("@TEMP@"), temp)})
        record.replace(record.find(mark), mark.size(), value);
    // Its lines go into the settings file as keys, beside what the host wrote.
    size_t at = record.find("[FILE1]");
    ASSERT_NE(std::string::npos, at);
    for (size_t line = record.find('\n', at) + 1; line < record.size();) {
        size_t next = record.find('\n', line);
        std::string text = record.substr(line, next - line);
        size_t equals = text.find('=');
        if (equals != std::string::npos)
            WritePrivateProfileStringA("FILE1", text.substr(0, equals).c_str(), text.substr(equals + 1).c_str(),
                                       "KELMORA.ini");
        line = next == std::string::npos ? record.size() : next + 1;
    }
    DWORD written = 0;

    // The temporary file as that build left it: each segment's counted bytes
    // in place, the rest of the file zeros.
    ULONGLONG segmentSize = kSize / 5;
    HANDLE file = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = kSize;
    SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
    SetEndOfFile(file);
    static const GeneratedBytes generator;
    for (int i = 0; i < 5; ++i) {
        ULONGLONG count = RecordedOffset(1, i);
        std::string bytes(count, '\0');
        generator.Fill(i * segmentSize, reinterpret_cast<BYTE *>(&bytes[0]), count);
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(i * segmentSize);
        WriteFile(file, bytes.data(), static_cast<DWORD>(count), &written, &at);
    }
    CloseHandle(file);

    ASSERT_EQ(1, RestoreTasks(host.controller.progressCallback)) << ReadWholeFile(SettingsFilePath());
    ASSERT_TRUE(TaskHost::WaitFinalized(0, kWaitMs));
    EXPECT_EQ(1, TaskHost::completions);
    std::string path = host.PathOf("earlier.bin");
    EXPECT_EQ("", DifferenceFromGenerated(path, 0, kSize, kSize));
    DeleteFileA(path.c_str());
}

}  // namespace
