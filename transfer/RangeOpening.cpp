#include "transfer/RangeOpening.h"

#include "transfer/DownloadTask.h"
#include "transfer/SegmentReceiver.h"
#include "transfer/TaskFile.h"
#include "transfer/TaskRecords.h"
#include "util/HandleClose.h"

namespace {

// On the worker's stack: the worker waits for the open to end before it
// returns, whatever happens, so the pool's thread never outlives it.
struct PendingOpen {
    DownloadTask *task;
    WebRequest *request;
    const char *header;
    TaskSegment *range;
    int opened;
    HANDLE ended;  // set once the callback has returned (SetEventWhenCallbackReturns)
};

int OpenHere(DownloadTask *task, WebRequest *request, const char *header, TaskSegment &range)
{
    return request->operations->Open(request, task->url, task->proxy, header, 0, transfer::ReceiveCallback, &range);
}

void CALLBACK OpenOnPool(PTP_CALLBACK_INSTANCE instance, void *context)
{
    PendingOpen *open = static_cast<PendingOpen *>(context);
    // Set by the pool after this function has returned: the plug-in may be
    // unloaded once the worker has seen it, and no code of it runs then.
    SetEventWhenCallbackReturns(instance, open->ended);
    open->opened = OpenHere(open->task, open->request, open->header, *open->range);
}

}  // namespace

int OpenKeepingRecord(DownloadTask *task, WebRequest *request, const char *header, TaskSegment &range)
{
    PendingOpen open = {task, request, header, &range, 0, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    if (!open.ended || !TrySubmitThreadpoolCallback(OpenOnPool, &open, nullptr)) {
        CloseAndClear(open.ended);
        return OpenHere(task, request, header, range);
    }
    DWORD waited;
    while ((waited = WaitForSingleObject(open.ended, kFlushPeriodMilliseconds)) != WAIT_OBJECT_0) {
        if (waited == WAIT_FAILED)
            Sleep(kFlushPeriodMilliseconds);
        KeepRecordCurrent(task);
    }
    CloseAndClear(open.ended);
    return open.opened;
}
