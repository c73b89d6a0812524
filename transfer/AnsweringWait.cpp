#include "transfer/AnsweringWait.h"

namespace {

// How many of these waits run on this thread. Counted around the whole wait,
// not only the dispatch below: some systems deliver sent messages inside the
// wait call itself.
thread_local LONG tWaitDepth = 0;

struct WaitScope {
    WaitScope() { ++tWaitDepth; }
    ~WaitScope() { --tWaitDepth; }
    WaitScope(const WaitScope &) = delete;
    WaitScope &operator=(const WaitScope &) = delete;
};

void DispatchSentMessages()
{
    MSG message;
    // PM_QS_SENDMESSAGE: sent messages are delivered inside this call, and no
    // posted message is taken from the queue.
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
}

DWORD Remaining(DWORD start, DWORD milliseconds)
{
    if (milliseconds == INFINITE)
        return INFINITE;
    DWORD elapsed = GetTickCount() - start;
    return elapsed >= milliseconds ? 0 : milliseconds - elapsed;
}

}  // namespace

DWORD WaitAnswering(HANDLE handle, DWORD milliseconds)
{
    WaitScope scope;
    DWORD start = GetTickCount();
    for (;;) {
        DWORD result = MsgWaitForMultipleObjects(1, &handle, FALSE, Remaining(start, milliseconds), QS_SENDMESSAGE);
        if (result != WAIT_OBJECT_0 + 1)
            return result;
        DispatchSentMessages();
    }
}

void PauseAnswering(DWORD milliseconds)
{
    WaitScope scope;
    DWORD start = GetTickCount();
    DWORD left;
    while ((left = Remaining(start, milliseconds)) > 0) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, left, QS_SENDMESSAGE) == WAIT_OBJECT_0)
            DispatchSentMessages();
    }
}

bool InsideAnsweringWait()
{
    return tWaitDepth > 0;
}
