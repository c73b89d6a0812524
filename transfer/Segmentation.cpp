#include <stdio.h>
#include <string.h>

#include "store/ResumeRecords.h"
#include "transfer/HttpRequests.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskStop.h"
#include "transfer/Transfer.h"

namespace {

void CloseEvent(HANDLE &event)
{
    if (event) {
        CloseHandle(event);
        event = nullptr;
    }
}

bool RenewEvent(HANDLE &event)
{
    CloseEvent(event);
    event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event != nullptr;
}

void DropSegment(TaskSegment &segment, LONG state)
{
    StoreWord(segment.state, state);
    CloseEvent(segment.stopEvent);
    CloseEvent(segment.busyEvent);
}

void ResetOffsets(DownloadTask *task)
{
    for (TaskSegment &segment : task->segments)
        StoreWord(segment.received, 0);
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

}  // namespace

TransferOutcome StreamOverNewProbe(DownloadTask *task)
{
    char validator[kTextSize];
    WebRequest *request = Probe(task, validator);
    if (!request)
        return TransferFailed;
    // This run is a single stream, whatever the server's version: the stop
    // logic tells the two modes apart by it.
    task->serverMinorVersion = 0;
    if (task->viewBase && task->mappedSize != task->totalSize)
        ReleaseFile(task);
    bool offsetsValid;
    if (!PrepareFile(task, &offsetsValid)) {
        CloseAndGiveBack(request);
        return TransferFailed;
    }
    memcpy(task->validator, validator, sizeof(task->validator));
    ResetOffsets(task);
    task->segments[0].length = task->totalSize;
    StoreWord(task->state, TaskDownloading);
    SaveStartedRecord(task);
    return RunStream(task, request);
}

TransferOutcome FreshStart(DownloadTask *task)
{
    char validator[kTextSize];
    WebRequest *request = Probe(task, validator);
    if (!request)
        return TransferFailed;
    bool offsetsValid;
    if (!PrepareFile(task, &offsetsValid)) {
        CloseAndGiveBack(request);
        return TransferFailed;
    }
    // Stored offsets describe the file only if it is still there at the same
    // length and the server still serves the same version of it.
    if (task->resumeFlag && (!offsetsValid || strcmp(validator, task->validator) != 0))
        ResetOffsets(task);
    memcpy(task->validator, validator, sizeof(task->validator));
    // The whole file is already here (a host ended after the record said so,
    // before the rename): it goes into place without being fetched again.
    if (task->resumeFlag && AllBytesIn(*task)) {
        CloseAndGiveBack(request);
        AnnounceCompletion(task);
        return TransferCompleted;
    }

    if (SingleStreamMode(*task)) {
        task->segments[0].length = task->totalSize;
        if (task->totalSize <= kSegmentedMinimum)
            return ReadWhole(task, request);
        SaveStartedRecord(task);
        return RunStream(task, request);
    }

    CloseAndGiveBack(request);
    if (IssueSegments(task)) {
        StoreWord(task->state, TaskDownloading);
        SaveStartedRecord(task);
        return TransferIssued;
    }
    // No range request was accepted (a server may refuse ranges): fetch the
    // file as one stream from byte 0 instead.
    if (StopRequested(*task)) {
        ReleaseFile(task);
        return TransferStopped;
    }
    TransferOutcome outcome = StreamOverNewProbe(task);
    if (outcome == TransferFailed)
        ReleaseFile(task);
    return outcome;
}

int IssueSegments(DownloadTask *task)
{
    int count = UsedSegmentCount(*task);
    if (count == 0)
        return 0;
    DWORD totalSize = task->totalSize;
    task->segmentSize = totalSize / count;
    int live = 0;
    for (int i = 0; i < count; ++i) {
        TaskSegment &segment = task->segments[i];
        DWORD offset = i * task->segmentSize;
        segment.owner = task;
        segment.index = i;
        segment.length = (i == count - 1) ? totalSize - (count - 1) * task->segmentSize : task->segmentSize;
        StoreWord(segment.state, SegmentIdle);
        if (!task->resumeFlag || segment.received > segment.length)
            StoreWord(segment.received, 0);
        segment.writePos = task->viewBase + offset + segment.received;
        live += OpenSegment(task, i);
    }
    if (live == 0) {
        StoreWord(task->state, TaskIdle);
        return 0;
    }
    StoreWord(task->state, TaskDownloading);
    // Every byte may be in already (a resumed task whose segments were all
    // complete): no delivery will come to announce it.
    if (CompletedBytes(*task) >= totalSize)
        AnnounceCompletion(task);
    return 1;
}

int OpenSegment(DownloadTask *task, int i)
{
    TaskSegment &segment = task->segments[i];
    segment.index = i;
    if (!RenewEvent(segment.stopEvent))
        return 0;
    if (!RenewEvent(segment.busyEvent)) {
        CloseEvent(segment.stopEvent);
        return 0;
    }
    StoreWord(segment.finished, 0);

    // A resumed segment that is complete needs no request; an empty range
    // would only be refused by the server.
    if (task->resumeFlag && segment.received >= segment.length) {
        StoreWord(segment.finished, 1);
        DropSegment(segment, SegmentIdle);
        return 1;
    }

    char header[kTextSize];
    long start = static_cast<long>(i * task->segmentSize + (task->resumeFlag ? segment.received : 0));
    long end = static_cast<long>(i == UsedSegmentCount(*task) - 1 ? task->totalSize - 1
                                                                   : (i + 1) * task->segmentSize - 1);
    snprintf(header, sizeof(header), "Range:bytes=%ld-%ld/%ld\r\n", start, end, static_cast<long>(task->totalSize));

    WebRequest *request = NewRequest();
    if (!request) {
        DropSegment(segment, SegmentIdle);
        return 0;
    }
    StoreWord(segment.state, SegmentPrepared);
    if (!BeginOpening(task, request)) {
        GiveBack(request);
        DropSegment(segment, SegmentIdle);
        return 0;
    }
    int opened = request->operations->Open(request, task->url, task->proxy, header, 0, transfer::ReceiveCallback, &segment);
    EndOpening(task);
    if (!opened) {
        GiveBack(request);
        DropSegment(segment, SegmentIdle);
        return 0;
    }
    if (!PublishSegmentRequest(task, i, request)) {
        CloseAndGiveBack(request);
        DropSegment(segment, SegmentStopped);
        return 0;
    }
    // A quick segment may be complete (Idle) already.
    InterlockedCompareExchange(&segment.state, SegmentRunning, SegmentPrepared);
    return 1;
}
