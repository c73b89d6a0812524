#include "transfer/RangeOpening.h"

#include "transfer/DigestChoice.h"
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
    bool otherFile;
    HANDLE ended;  // set once the callback has returned (SetEventWhenCallbackReturns)
};

// A task whose first answer named a digest holds every later answer to it
// before a byte of it is written: the answer's header is read first, and
// its body delivered only then. One that names another digest is of another
// file, as one with another validator is; its request is closed.
int OpenHere(DownloadTask *task, WebRequest *request, const char *header, TaskSegment &range, bool *otherFile)
{
    const WebRequestTable *operations = request->operations;
    if (task->serverDigest.algorithm == DigestNone)
        return operations->Open(request, task->url, task->proxy, header, 0, transfer::ReceiveCallback, &range);
    if (!operations->Open(request, task->url, task->proxy, header, 0, nullptr, nullptr))
        return 0;
    FileDigest said = {};
    DigestFinding finding = ParseAnswerDigest(operations->GetResponseHeader(request), &said);
    if (AnswerTellsOtherFile(task->serverDigest, finding, said)) {
        *otherFile = true;
        operations->Close(request);
        return 0;
    }
    return operations->DeliverRest(request, transfer::ReceiveCallback, &range);
}

void CALLBACK OpenOnPool(PTP_CALLBACK_INSTANCE instance, void *context)
{
    PendingOpen *open = static_cast<PendingOpen *>(context);
    // Set by the pool after this function has returned: the plug-in may be
    // unloaded once the worker has seen it, and no code of it runs then.
    SetEventWhenCallbackReturns(instance, open->ended);
    open->opened = OpenHere(open->task, open->request, open->header, *open->range, &open->otherFile);
}

}  // namespace

int OpenKeepingRecord(DownloadTask *task, WebRequest *request, const char *header, TaskSegment &range,
                      bool *otherFile)
{
    *otherFile = false;
    PendingOpen open = {task, request, header, &range, 0, false, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    if (!open.ended || !TrySubmitThreadpoolCallback(OpenOnPool, &open, nullptr)) {
        CloseAndClear(open.ended);
        return OpenHere(task, request, header, range, otherFile);
    }
    DWORD waited;
    while ((waited = WaitForSingleObject(open.ended, kFlushPeriodMilliseconds)) != WAIT_OBJECT_0) {
        if (waited == WAIT_FAILED)
            Sleep(kFlushPeriodMilliseconds);
        KeepRecordCurrent(task);
    }
    CloseAndClear(open.ended);
    *otherFile = open.otherFile;
    return open.opened;
}
