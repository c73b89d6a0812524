#include "transfer/Segmentation.h"

#include <stdio.h>
#include <string.h>

#include "store/ResumeRecords.h"
#include "transfer/Completion.h"
#include "transfer/DigestCheck.h"
#include "transfer/HttpRequests.h"
#include "transfer/Pieces.h"
#include "transfer/Probe.h"
#include "transfer/RangeOpening.h"
#include "transfer/SegmentReceiver.h"
#include "transfer/SingleStream.h"
#include "transfer/TaskFailure.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskLock.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskStop.h"
#include "util/HandleClose.h"

namespace {

bool RenewEvent(HANDLE &event)
{
    CloseAndClear(event);
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event != nullptr;
}

void DropSegment(TaskSegment &segment, LONG state)
{
    StoreWord(segment.state, state);
    CloseAndClear(segment.stopEvent);
    CloseAndClear(segment.busyEvent);
}

// Answers to segments' ranges that show another version of the file in a
// row before the task settles for one stream from byte 0.
const int kMaxVersionRestarts = 3;

void ResetOffsets(DownloadTask *task)
{
    for (int i = 0; i < kMaxSegments; ++i) {
        StoreWord(task->segments[i].received, 0);
        task->extents[i].flushed = 0;
    }
    task->flushBytes = 0;
}

// From here on the task's bytes are of the version the validator names, and
// none of them is in yet: nor are those of the last run's pieces, whose
// requests the stop that ended that run has closed. Offsets and validator
// change together under the task's lock, under which the record writer
// copies them, and the record says so before anything is written into the
// file or the file is made or resized: a record never claims bytes of
// another version, nor of a file made after it was written, whenever the
// host ends. False when a stop came first: then nothing touches the file,
// and the stopping side, which saves the record once the worker is gone,
// saves the reset one. False too, the task's failure noted, when no place
// takes the reset record and the file's record claims bytes.
// validator: a buffer of kTextSize.
void ResetVersion(DownloadTask *task, const char *validator)
{
    TaskLock lock(task);
    ResetOffsets(task);
    ResetPieces(task);
    memcpy(task->validator, validator, sizeof(task->validator));
}

bool AdoptVersion(DownloadTask *task, const char *validator)
{
    ResetVersion(task, validator);
    if (StopRequested(*task))
        return false;
    int section = TaskSection(*task);
    if (!SaveResumeRecord(*task, section, LockWait::UntilFree, Durability::OnDisk) &&
        RecordClaimsBytes(section, task->tempPath)) {
        // No place took the reset record, and the one in the file claims
        // bytes of the old version: nothing may be written under it.
        NoteFileFailure(task, ERROR_WRITE_FAULT);
        return false;
    }
    return true;
}

// Single-stream mode when the file is small or the server speaks HTTP/1.0.
bool SingleStreamMode(const DownloadTask &task)
{
    return task.totalSize < kSegmentedMinimum || task.serverMinorVersion <= 0;
}

// Written as soon as data flows, so that a host that is killed resumes.
void SaveStartedRecord(DownloadTask *task)
{
    if (!StopRequested(*task))
        SaveResumeRecord(*task, TaskSection(*task));
}

// Ends the requests of the segments already opened when a later one was
// refused; once Close returns, none of them delivers any more. A stopping
// side that came first may be inside its own stop of these segments, events
// included, and finishes it; one that comes later finds no request and
// leaves them alone, so the events are closed here only when no stop came.
void WithdrawSegments(DownloadTask *task)
{
    int count = UsedSegmentCount(*task);
    for (int i = 0; i < count; ++i) {
        if (WebRequest *request = TakeSegmentRequest(task, i))
            CloseAndGiveBack(request);
    }
    if (StopRequested(*task))
        return;
    for (int i = 0; i < count; ++i)
        DropSegment(task->segments[i], SegmentIdle);
}

// The value to send as If-Range: the validator without its field name.
const char *IfRangeValue(const char *validator)
{
    const char *value = strchr(validator, ':');
    if (!value)
        return "";
    ++value;
    while (*value == ' ')
        ++value;
    return value;
}

// The file at the length the probe found, and whether the stored offsets
// still describe it: only when it was already there at exactly that length
// and the server still has the version they are of. Otherwise the task
// adopts the probed version, record included, before the file is made or
// resized. A paused task's file, still open at the length it had then, is
// closed first. On failure the probe's request is given back.
bool PrepareProbedFile(DownloadTask *task, WebRequest *request, const ProbedVersion &version, bool *sameVersion)
{
    if (task->fileHandle && task->preparedSize != task->totalSize)
        ReleaseFile(task);
    bool kept = OpenKeptFile(task);
    HeldDigest held = {task->digest, task->digestSource};
    *sameVersion = kept && strcmp(version.validator, task->validator) == 0 &&
                   !ProbeTellsOtherFile(held, version.digest);
    {
        // Before the record of a new version is saved, which keeps it.
        TaskLock lock(task);
        HeldDigest chosen = ChooseDigest(held, version.digest, *sameVersion);
        task->digest = chosen.digest;
        task->digestSource = chosen.source;
        task->serverDigest = version.digest;
    }
    if ((*sameVersion || AdoptVersion(task, version.validator)) && (kept || PrepareFile(task)))
        return true;
    CloseAndGiveBack(request);
    return false;
}

// One stream from byte 0 over the probe's request, whatever the server's version.
TransferOutcome StreamFromStart(DownloadTask *task, WebRequest *request, const ProbedVersion &version)
{
    // The stop logic tells the two modes apart by the version.
    task->serverMinorVersion = 0;
    bool sameVersion;
    if (!PrepareProbedFile(task, request, version, &sameVersion))
        return TransferFailed;
    // The stream writes from byte 0 whatever the file held.
    if (sameVersion && !AdoptVersion(task, version.validator)) {
        CloseAndGiveBack(request);
        return StopRequested(*task) ? TransferStopped : TransferFailed;
    }
    task->segments[0].length = task->totalSize;
    StoreWord(task->state, TaskDownloading);
    SaveStartedRecord(task);
    return RunStream(task, request);
}

// The range reads as running over its request, whose deliveries may have
// begun. 1 when it does; on a stop that came first the request is closed.
int PublishRunningRange(DownloadTask *task, TaskSegment &range, WebRequest *request)
{
    // The range's rate counts from here, its connection set up. Read by this
    // thread alone (re-splitting runs on the worker too).
    RangeExtent &extent = ExtentOf(*task, range);
    extent.startTick = GetTickCount();
    extent.startReceived = LoadWord(range.received);
    extent.earlyCounted = 0;
    extent.stoodStill = 0;
    if (!PublishRangeRequest(task, range, request)) {
        CloseAndGiveBack(request);
        DropSegment(range, SegmentStopped);
        return 0;
    }
    // A quick range may have been completed while it was being opened, when
    // it did not yet read as running: it reads as idle then, as one completed
    // later does, and an answer that runs past it, which that delivery found
    // no request of to end, ends now.
    InterlockedCompareExchange(&range.state, SegmentRunning, SegmentPrepared);
    if (LoadWord(range.finished) && !LoadWord(extent.cut))
        InterlockedCompareExchange(&range.state, SegmentIdle, SegmentRunning);
    if (LoadWord(range.finished) && LoadWord(extent.runsPast))
        request->operations->Cancel(request);
    return 1;
}

// The first segment goes on over the probe's answer, the whole file from
// byte 0 and of the version the probe found: its bytes come a round trip
// sooner than over a request of its own, and a server that sends every new
// request a burst has sent the probe's already. The answer runs past the
// segment, so the delivery that completes the segment ends it. False when
// the deliveries could not begin; the probe is still the caller's then.
bool DeliverProbeToSegment(DownloadTask *task, TaskSegment &segment, WebRequest *probe)
{
    if (!RenewRangeEvents(segment, ExtentOf(*task, segment)))
        return false;
    StoreWord(segment.finished, 0);
    StoreWord(segment.state, SegmentPrepared);
    StoreWord(ExtentOf(*task, segment).runsPast, 1);
    if (probe->operations->DeliverRest(probe, transfer::ReceiveCallback, &segment))
        return true;
    DropSegment(segment, SegmentIdle);
    return false;
}

}  // namespace

void ForgetTaskBytes(DownloadTask *task)
{
    const char none[kTextSize] = {};
    ResetVersion(task, none);
    SaveResumeRecord(*task, TaskSection(*task), LockWait::UntilFree, Durability::OnDisk);
}

TransferOutcome StreamOverNewProbe(DownloadTask *task)
{
    ProbedVersion version;
    WebRequest *request = Probe(task, &version);
    if (!request)
        return TransferFailed;
    return StreamFromStart(task, request, version);
}

TransferOutcome FreshStart(DownloadTask *task)
{
    // Every byte of the length this run's probe found is on disk already: the
    // file goes into place without asking the server, which may hold another
    // version by now.
    if (task->resumeFlag && OpenCompleteFile(task)) {
        CheckThenAnnounce(task);
        return TransferCompleted;
    }
    // Set when a range was refused as of another version: a new probe that
    // shows the same version means the server will not serve such ranges.
    bool rangesSuspect = false;
    for (int restart = 0;; ++restart) {
        ProbedVersion version;
        WebRequest *request = Probe(task, &version);
        if (!request)
            return TransferFailed;
        bool sameVersion;
        if (!PrepareProbedFile(task, request, version, &sameVersion))
            return TransferFailed;
        // The whole file is already here (a host ended after the record said so,
        // before the rename): it goes into place without being fetched again.
        if (task->resumeFlag && AllBytesIn(*task)) {
            CloseAndGiveBack(request);
            CheckThenAnnounce(task);
            return TransferCompleted;
        }
        if (rangesSuspect && sameVersion)
            return StreamFromStart(task, request, version);

        if (SingleStreamMode(*task)) {
            if (sameVersion && !AdoptVersion(task, version.validator)) {
                CloseAndGiveBack(request);
                return StopRequested(*task) ? TransferStopped : TransferFailed;
            }
            task->segments[0].length = task->totalSize;
            if (task->totalSize <= kSegmentedMinimum)
                return ReadWhole(task, request);
            SaveStartedRecord(task);
            return RunStream(task, request);
        }

        SegmentIssue issue = IssueSegments(task, request);
        if (issue == SegmentsLive) {
            StoreWord(task->state, TaskDownloading);
            SaveStartedRecord(task);
            return TransferIssued;
        }
        // The stopping side owns the task and its file from here.
        if (StopRequested(*task))
            return TransferStopped;
        // The file changed between the probe and a segment's answer: the
        // bytes in so far may be of the old version, and the task starts
        // over on the version a new probe finds.
        if (issue == SegmentsOtherVersion && restart < kMaxVersionRestarts) {
            rangesSuspect = true;
            continue;
        }
        // No range request was accepted, or the server refused a range (a
        // server may not serve them): fetch the file as one stream from byte 0.
        TransferOutcome outcome = StreamOverNewProbe(task);
        if (outcome == TransferFailed)
            ReleaseFile(task);
        return outcome;
    }
}

SegmentIssue IssueSegments(DownloadTask *task, WebRequest *probe)
{
    int count = UsedSegmentCount(*task);
    if (count == 0) {
        CloseAndGiveBack(probe);
        return SegmentsNone;
    }
    ULONGLONG totalSize = task->totalSize;
    task->segmentSize = totalSize / count;
    StoreWord(task->helping, 0);
    // The pieces of a run that a stop ended in this process, or that the
    // record of a restored task kept, are of the same version (a new one
    // empties the table): they go on where they were, and a segment cut for
    // them ends at its cut. Otherwise every segment runs to the end of its
    // fixed range.
    if (task->resumeFlag)
        TakeRecordPieces(task);
    bool carried = task->resumeFlag && LoadWord(task->pieceCount) > 0;
    if (carried)
        QueuePieces(task);
    else
        ResetPieces(task);
    int live = 0;
    for (int i = 0; i < count; ++i) {
        TaskSegment &segment = task->segments[i];
        ULONGLONG offset = i * task->segmentSize;
        segment.owner = task;
        segment.index = i;
        RangeExtent &extent = ExtentOf(*task, segment);
        if (!carried || !extent.cut) {
            segment.length = SegmentRangeEnd(*task, i) - offset;
            StoreWord(extent.cut, 0);
        }
        StoreWord(segment.state, SegmentIdle);
        if (!task->resumeFlag || segment.received > segment.length)
            StoreWord(segment.received, 0);
        segment.writePos = offset + segment.received;
        extent.first = offset;
        extent.reservedEnd = segment.writePos;
        int refusal = WebRequestOk;
        bool fromByteZero = i == 0 && segment.received == 0 && segment.length > 0;
        if (fromByteZero && DeliverProbeToSegment(task, segment, probe)) {
            live += PublishRunningRange(task, segment, probe);
            continue;
        }
        if (i == 0)
            CloseAndGiveBack(probe);
        live += OpenSegment(task, i, &refusal);
        // Waiting for the other segments would not make this one's range
        // come: the task cannot be finished in segments as it stands.
        if (refusal == WebRequestRangeRefused || refusal == WebRequestFileChanged) {
            WithdrawSegments(task);
            return refusal == WebRequestFileChanged ? SegmentsOtherVersion : SegmentsRangeRefused;
        }
    }
    if (live == 0) {
        StoreWord(task->state, TaskIdle);
        return SegmentsNone;
    }
    StoreWord(task->state, TaskDownloading);
    // Every byte may be in already (a resumed task whose segments were all
    // complete): no delivery will come to announce it.
    if (AllBytesIn(*task))
        AnnounceWhenChecked(task);
    return SegmentsLive;
}

int OpenSegment(DownloadTask *task, int i, int *refusal)
{
    TaskSegment &segment = task->segments[i];
    segment.index = i;
    if (!RenewRangeEvents(segment, ExtentOf(*task, segment)))
        return 0;
    StoreWord(segment.finished, 0);

    // A resumed segment that is complete needs no request; an empty range
    // would only be refused by the server. One that ends at a cut reads as
    // running until the pieces after it are in, as during the last run.
    const RangeExtent &extent = ExtentOf(*task, segment);
    if (task->resumeFlag && segment.received >= segment.length) {
        bool whole = extent.first + segment.received == SegmentRangeEnd(*task, i);
        StoreWord(segment.finished, 1);
        DropSegment(segment, whole ? SegmentIdle : SegmentRunning);
        return 1;
    }
    ULONGLONG start = extent.first + (task->resumeFlag ? segment.received : 0);
    return OpenRange(task, segment, start, extent.first + segment.length - 1, refusal);
}

int OpenRange(DownloadTask *task, TaskSegment &range, ULONGLONG start, ULONGLONG last, int *refusal)
{
    // If-Range makes a server that changed its file answer with the whole new
    // one instead of a range of it, which the component refuses as another version.
    char header[2 * kTextSize];
    int length = snprintf(header, sizeof(header), "Range:bytes=%llu-%llu/%llu\r\n", start, last, task->totalSize);
    if (task->validator[0])
        snprintf(header + length, sizeof(header) - length, "If-Range: %s\r\n", IfRangeValue(task->validator));

    WebRequest *request = NewRequest();
    if (!request) {
        DropSegment(range, SegmentIdle);
        return 0;
    }
    StoreWord(range.state, SegmentPrepared);
    if (!BeginOpening(task, request)) {
        GiveBack(request);
        DropSegment(range, SegmentIdle);
        return 0;
    }
    StoreWord(ExtentOf(*task, range).runsPast, 0);
    DWORD began = GetTickCount();
    bool otherFile;
    int opened = OpenKeepingRecord(task, request, header, range, &otherFile);
    EndOpening(task);
    // Only the worker opens ranges, so the slowest open of the run needs no lock.
    DWORD took = GetTickCount() - began;
    if (opened && took > task->run.setupMs)
        task->run.setupMs = took;
    if (!opened) {
        *refusal = otherFile ? WebRequestFileChanged : request->operations->LastError(request);
        GiveBack(request);
        DropSegment(range, SegmentIdle);
        return 0;
    }
    return PublishRunningRange(task, range, request);
}

bool RenewRangeEvents(TaskSegment &range, RangeExtent &extent)
{
    if (!RenewEvent(range.stopEvent))
        return false;
    if (!RenewEvent(range.busyEvent)) {
        CloseAndClear(range.stopEvent);
        return false;
    }
    StoreWord(extent.stopSignalled, 0);
    return true;
}
