#include "transfer/SingleStream.h"

// Small files and HTTP/1.0 servers: the worker reads the probe's own body and
// writes it into the temporary file from byte 0.
#include <memory>
#include <new>

#include "transfer/DigestCheck.h"
#include "transfer/HttpRequests.h"
#include "transfer/Segmentation.h"
#include "transfer/SpeedGate.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskStop.h"

TransferOutcome ReadWhole(DownloadTask *task, WebRequest *request)
{
    if (!request)
        return TransferFailed;
    // Published as being opened, so that a stop can cancel a stalled read.
    if (!BeginOpening(task, request)) {
        CloseAndGiveBack(request);
        return TransferStopped;
    }
    BYTE body[kSegmentedMinimum];
    DWORD want = task->totalSize < sizeof(body) ? static_cast<DWORD>(task->totalSize) : sizeof(body);
    DWORD count = 0;
    while (count < want) {
        unsigned got = request->operations->Read(request, body + count, want - count);
        if (got == 0)
            break;
        count += got;
    }
    EndOpening(task);
    CloseAndGiveBack(request);
    DWORD written = count > 0 ? WriteAt(task, 0, body, count) : 0;
    StoreWord(task->segments[0].received, written);
    if (StopRequested(*task))
        return TransferStopped;
    if (written < task->totalSize)
        return TransferShort;
    CheckThenAnnounce(task, CompletionCommand::Sent);
    return TransferCompleted;
}

TransferOutcome RunStream(DownloadTask *task, WebRequest *request)
{
    if (!request)
        return TransferFailed;
    if (!task->fileHandle) {
        CloseAndGiveBack(request);
        return TransferFailed;
    }
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kStreamChunk]);
    if (!chunk) {
        CloseAndGiveBack(request);
        return TransferFailed;
    }
    TaskSegment &stream = task->segments[0];
    StoreWord(stream.state, SegmentRunning);
    StoreWord(stream.keepRunning, 1);
    StoreWord(stream.received, 0);
    if (stream.streamDoneEvent)
        CloseHandle(stream.streamDoneEvent);
    stream.streamDoneEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!stream.streamDoneEvent) {
        StoreWord(stream.state, SegmentStopped);
        CloseAndGiveBack(request);
        return TransferFailed;
    }
    // From here a stopping side cancels this request and waits for the done event.
    if (!PublishRangeRequest(task, task->segments[0], request)) {
        StoreWord(stream.state, SegmentStopped);
        SetEvent(stream.streamDoneEvent);
        CloseAndGiveBack(request);
        return TransferStopped;
    }

    ULONGLONG totalSize = task->totalSize;
    ULONGLONG total = 0;
    while (LoadWord(stream.keepRunning) && LoadWord(stream.state) == SegmentRunning) {
        DWORD want = static_cast<DWORD>(SpeedGateReadSize(totalSize - total < kStreamChunk ? totalSize - total : kStreamChunk));
        unsigned count = request->operations->Read(request, chunk.get(), want);
        if (count == 0)
            break;
        DWORD written = WriteAt(task, total, chunk.get(), count);
        total += written;
        StoreWord(stream.received, total);
        KeepRecordCurrent(task);
        // A full disk, say: the stream ends at the last byte the file took,
        // short of the whole, and a later start fetches the file again.
        if (written < count || total >= totalSize)
            break;
        PassSpeedGate(written, nullptr, [&] { return !LoadWord(stream.keepRunning) || StopRequested(*task); });
    }
    StoreWord(stream.state, SegmentStopped);

    if (!LoadWord(stream.keepRunning) || StopRequested(*task)) {
        SetEvent(stream.streamDoneEvent);
        return TransferStopped;
    }
    if (total < totalSize) {
        SetEvent(stream.streamDoneEvent);
        return TransferShort;
    }
    if (!CheckThenAnnounce(task, CompletionCommand::Sent, stream.streamDoneEvent))
        SetEvent(stream.streamDoneEvent);
    return TransferCompleted;
}
