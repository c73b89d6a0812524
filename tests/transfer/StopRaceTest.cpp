// The stopping side against a worker that takes the stream's request at the
// same moment, and against a busy event whose wait fails. Requests are real,
// unopened component objects.
#include <gtest/gtest.h>
#include <windows.h>

#include "transfer/DownloadTask.h"
#include "transfer/HttpRequests.h"
#include "transfer/TaskHalt.h"

namespace {

// Every request of the race gets this table: the component's own operations,
// behind a check that the caller still owns the request. The worker's side
// marks a request it has taken as "given back" for a while before it uses it
// again; a stopping side that touches it meanwhile holds a request it does
// not own, which in the plug-in would be freed memory.
const WebRequestTable *gComponentTable = nullptr;
WebRequest *volatile gGivenBack = nullptr;
volatile LONG gForeignUses = 0;

void CheckOwned(WebRequest *self)
{
    if (self == gGivenBack)
        InterlockedIncrement(&gForeignUses);
}

int __thiscall CheckedOpen(WebRequest *self, const char *url, const char *proxy, const char *header, int reserved,
                           ReceiveCallback callback, void *context)
{
    CheckOwned(self);
    return gComponentTable->Open(self, url, proxy, header, reserved, callback, context);
}

void __thiscall CheckedCancel(WebRequest *self)
{
    CheckOwned(self);
    gComponentTable->Cancel(self);
}

int __thiscall CheckedLastError(WebRequest *self)
{
    CheckOwned(self);
    return gComponentTable->LastError(self);
}

const char *__thiscall CheckedHeader(WebRequest *self)
{
    CheckOwned(self);
    return gComponentTable->GetResponseHeader(self);
}

int __thiscall CheckedClose(WebRequest *self)
{
    CheckOwned(self);
    return gComponentTable->Close(self);
}

unsigned __thiscall CheckedRead(WebRequest *self, void *buffer, unsigned max)
{
    CheckOwned(self);
    return gComponentTable->Read(self, buffer, max);
}

int __thiscall CheckedDeliverRest(WebRequest *self, ReceiveCallback callback, void *context)
{
    CheckOwned(self);
    return gComponentTable->DeliverRest(self, callback, context);
}

const WebRequestTable kCheckedTable = {CheckedOpen,  CheckedCancel, CheckedLastError,  CheckedHeader,
                                       CheckedClose, CheckedRead,   CheckedDeliverRest};

WebRequest *CheckedRequest()
{
    WebRequest *request = NewRequest();
    if (!request)
        return nullptr;
    gComponentTable = request->operations;
    request->operations = &kCheckedTable;
    return request;
}

struct StreamRace {
    DownloadTask *task;
    int rounds;
    volatile LONG done;
};

// The worker of a stream that ended short: publishes the stream's request,
// then takes it back under the task's lock as StopShortTask does, marking it
// as given back at the very moment it leaves the segment, and keeps it so
// for a moment. A request the stopping side took first is the stopping
// side's to close.
DWORD WINAPI PublishAndTakeBack(void *argument)
{
    StreamRace *race = static_cast<StreamRace *>(argument);
    DownloadTask *task = race->task;
    WebRequest *spare = nullptr;
    for (int round = 0; round < race->rounds; ++round) {
        WebRequest *request = spare ? spare : CheckedRequest();
        spare = nullptr;
        EnterCriticalSection(&task->lock);
        task->segments[0].request = request;
        LeaveCriticalSection(&task->lock);
        for (volatile int spin = 0; spin < round % 200; ++spin) {
        }
        EnterCriticalSection(&task->lock);
        WebRequest *taken = task->segments[0].request;
        task->segments[0].request = nullptr;
        gGivenBack = taken;
        LeaveCriticalSection(&task->lock);
        if (taken) {
            for (volatile int spin = 0; spin < 2000; ++spin) {
            }
            gGivenBack = nullptr;
            spare = taken;
        }
    }
    if (spare) {
        spare->operations = gComponentTable;
        CloseAndGiveBack(spare);
    }
    InterlockedExchange(&race->done, 1);
    return 0;
}

TEST(StopRace, StoppingAStreamNeverUsesARequestTheWorkerTookBack)
{
    DownloadTask task;
    task.ClearData();
    task.connectionCount = 1;
    task.serverMinorVersion = 0;
    // The loop has ended: a stop that owns the request closes it at once.
    task.segments[0].streamDoneEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    gForeignUses = 0;
    StreamRace race = {&task, 300000, 0};
    HANDLE worker = CreateThread(nullptr, 0, PublishAndTakeBack, &race, CREATE_SUSPENDED, nullptr);
    ASSERT_NE(nullptr, worker);
    // On two processors of their own where there are two: a race needs both
    // sides to run at once.
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    DWORD_PTR first = processMask & (~processMask + 1);
    DWORD_PTR second = (processMask & ~first) & (~(processMask & ~first) + 1);
    DWORD_PTR previous = second ? SetThreadAffinityMask(GetCurrentThread(), first) : 0;
    if (second)
        SetThreadAffinityMask(worker, second);
    ResumeThread(worker);
    int stops = 0;
    DWORD start = GetTickCount();
    while (!race.done && GetTickCount() - start < 60000) {
        StopRequests(&task);
        ++stops;
    }
    if (previous)
        SetThreadAffinityMask(GetCurrentThread(), previous);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 60000));
    CloseHandle(worker);
    StopRequests(&task);
    EXPECT_EQ(0, gForeignUses) << "in " << stops << " stops";
    EXPECT_EQ(nullptr, task.segments[0].request);
    EXPECT_EQ(SegmentStopped, task.segments[0].state);
    EXPECT_EQ(TaskPaused, task.state);
    CloseHandle(task.segments[0].streamDoneEvent);
}

DWORD WINAPI StopOnce(void *argument)
{
    StopRequests(static_cast<DownloadTask *>(argument));
    return 0;
}

// A wait on busyEvent that fails (a handle that is no longer valid) ends the
// stop's wait instead of repeating it for ever; the request's Close then
// waits for the component's delivery thread itself.
TEST(StopRace, AFailingBusyWaitDoesNotHoldTheStopForEver)
{
    DownloadTask task;
    task.ClearData();
    task.connectionCount = 2;
    task.serverMinorVersion = 1;
    for (int i = 0; i < 2; ++i) {
        TaskSegment &segment = task.segments[i];
        segment.owner = &task;
        segment.index = i;
        segment.state = SegmentRunning;
        segment.stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        segment.request = NewRequest();
    }
    task.segments[0].busyEvent = reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x00fffff0));
    task.segments[1].busyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE stopper = CreateThread(nullptr, 0, StopOnce, &task, 0, nullptr);
    ASSERT_NE(nullptr, stopper);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(stopper, 10000)) << "the stop never returned";
    CloseHandle(stopper);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(nullptr, task.segments[i].request);
        EXPECT_EQ(SegmentStopped, task.segments[i].state);
        EXPECT_EQ(nullptr, task.segments[i].busyEvent);
    }
    EXPECT_EQ(TaskPaused, task.state);
}

}  // namespace
