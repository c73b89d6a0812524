// Starts N threads that only wait, holds them for half a second, then ends
// them: the memory a bare thread costs on this system. server-kinds-bench.sh
// takes its peak with 0 and with 5 threads, so that the host's own memory
// over five connections (a thread each) can be read against it.
// Usage: IdleThreads N   (N at most 64)
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

namespace {

DWORD WINAPI WaitForEnd(void *end)
{
    WaitForSingleObject(static_cast<HANDLE>(end), INFINITE);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    int count = argc > 1 ? atoi(argv[1]) : 0;
    if (count < 0 || count > MAXIMUM_WAIT_OBJECTS) {
        fprintf(stderr, "usage: IdleThreads N (0 to %d)\n", MAXIMUM_WAIT_OBJECTS);
        return 2;
    }
    HANDLE end = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE threads[MAXIMUM_WAIT_OBJECTS];
    int started = 0;
    for (; started < count; ++started) {
        // The stack size the plug-in's threads get: the program's default.
        threads[started] = CreateThread(nullptr, 0, WaitForEnd, end, 0, nullptr);
        if (!threads[started])
            break;
    }
    Sleep(500);
    SetEvent(end);
    if (started)
        WaitForMultipleObjects(started, threads, TRUE, INFINITE);
    for (int i = 0; i < started; ++i)
        CloseHandle(threads[i]);
    CloseHandle(end);
    printf("%d threads\n", started);
    return started == count ? 0 : 1;
}
