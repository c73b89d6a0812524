// Small files and HTTP/1.0 servers: the worker reads the probe's own body
// straight into the view.
#include "transfer/HttpRequests.h"
#include "transfer/TaskStop.h"
#include "transfer/TaskWindow.h"
#include "transfer/Transfer.h"

namespace {

// The host first, then the window, synchronously: FinalizeTask releases this
// thread at once (ReplyMessage), and the worker then leaves without touching
// the task.
void SendCompletion(DownloadTask *task, HANDLE streamDone)
{
    if (task->progressCallback)
        task->progressCallback(0, 1, 0);
    HWND window = FindTaskWindow();
    LPARAM slot = task->slotIndex;
    // Set before the send: finalizing waits for it.
    if (streamDone)
        SetEvent(streamDone);
    if (window)
        SendMessageA(window, WM_COMMAND, kCommandTaskComplete, slot);
}

}  // namespace

TransferOutcome ReadWhole(DownloadTask *task, WebRequest *request, BYTE *position)
{
    if (!request)
        return TransferFailed;
    // Published as being opened, so that a stop can cancel a stalled read.
    if (!BeginOpening(task, request)) {
        CloseAndGiveBack(request);
        return TransferStopped;
    }
    unsigned count = request->operations->Read(request, position, task->totalSize);
    EndOpening(task);
    CloseAndGiveBack(request);
    StoreWord(task->segments[0].received, count);
    if (StopRequested(*task))
        return TransferStopped;
    if (count < task->totalSize)
        return TransferShort;
    if (InterlockedExchange(&task->announced, 1) == 0)
        SendCompletion(task, nullptr);
    return TransferCompleted;
}

TransferOutcome RunStream(DownloadTask *task, WebRequest *request, BYTE *position)
{
    if (!request)
        return TransferFailed;
    if (!position) {
        CloseAndGiveBack(request);
        return TransferFailed;
    }
    TaskSegment &stream = task->segments[0];
    StoreWord(stream.state, SegmentRunning);
    StoreWord(stream.keepRunning, 1);
    stream.writePos = position;
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
    if (!PublishSegmentRequest(task, 0, request)) {
        StoreWord(stream.state, SegmentStopped);
        SetEvent(stream.streamDoneEvent);
        CloseAndGiveBack(request);
        return TransferStopped;
    }

    DWORD totalSize = task->totalSize;
    DWORD total = 0;
    while (LoadWord(stream.keepRunning) && LoadWord(stream.state) == SegmentRunning) {
        DWORD want = totalSize - total < kStreamChunk ? totalSize - total : kStreamChunk;
        unsigned count = request->operations->Read(request, position, want);
        if (count == 0)
            break;
        position += count;
        total += count;
        StoreWord(stream.received, total);
        if (total >= totalSize)
            break;
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
    if (InterlockedExchange(&task->announced, 1) == 0)
        SendCompletion(task, stream.streamDoneEvent);
    else
        SetEvent(stream.streamDoneEvent);
    return TransferCompleted;
}
