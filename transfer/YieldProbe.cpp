#include "transfer/YieldProbe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <string.h>

#include "transfer/SpeedGate.h"
#include "transfer/YieldPolicy.h"
#include "util/MicroClock.h"
#include "util/ProcessLock.h"
#include "util/ServerAddress.h"

namespace {

const DWORD kConnectTimeoutMs = 1000;


// The measuring thread, its stop event and the server it measures, under
// the lock; a thread that is told to stop closes its own event.
ProcessLock &ProbeLock()
{
    static ProcessLock lock;
    return lock;
}

HANDLE gStop = nullptr;  // the running thread's; null: none runs
ServerAddress gServer = {};

void TakeServer(ServerAddress *server)
{
    ProcessLockHold hold(ProbeLock());
    *server = gServer;
}

// Microseconds from connect to its answer, or 0 when there is none within
// kConnectTimeoutMs or stop is set. Ended with a reset (linger 0): no
// request goes out and no socket waits in TIME_WAIT.
ULONGLONG TimeConnect(const sockaddr *address, int addressLength, HANDLE stop)
{
    SOCKET s = socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET)
        return 0;
    WSAEVENT event = WSACreateEvent();
    ULONGLONG took = 0;
    if (event != WSA_INVALID_EVENT && WSAEventSelect(s, event, FD_CONNECT) == 0) {
        ULONGLONG start = MicrosecondsNow();
        if (connect(s, address, addressLength) == 0 || WSAGetLastError() == WSAEWOULDBLOCK) {
            HANDLE waits[2] = {stop, event};
            WSANETWORKEVENTS events = {};
            if (WaitForMultipleObjects(2, waits, FALSE, kConnectTimeoutMs) == WAIT_OBJECT_0 + 1 &&
                WSAEnumNetworkEvents(s, event, &events) == 0 && (events.lNetworkEvents & FD_CONNECT) &&
                events.iErrorCode[FD_CONNECT_BIT] == 0)
                took = MicrosecondsNow() - start;
        }
    }
    linger reset = {1, 0};
    setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char *>(&reset), sizeof(reset));
    closesocket(s);
    if (event != WSA_INVALID_EVENT)
        WSACloseEvent(event);
    return took;
}

// Measures while the stop event stays clear, then closes it and lets the
// module go.
DWORD WINAPI MeasureMain(void *argument)
{
    HANDLE stop = static_cast<HANDLE>(argument);
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    ServerAddress server = {}, resolved = {};
    sockaddr_storage address = {};
    int addressLength = 0;
    YieldState state = FirstYieldState(GetTickCount());
    DWORD lastSample = GetTickCount();
    ULONGLONG lastPassed = SpeedGateReserved();
    while (started && WaitForSingleObject(stop, kYieldSampleMs) == WAIT_TIMEOUT) {
        TakeServer(&server);
        if (strcmp(server.host, resolved.host) != 0 || strcmp(server.port, resolved.port) != 0) {
            addressLength = 0;
            addrinfo hints = {}, *found = nullptr;
            hints.ai_socktype = SOCK_STREAM;
            if (server.host[0] && getaddrinfo(server.host, server.port, &hints, &found) == 0 && found) {
                memcpy(&address, found->ai_addr, found->ai_addrlen);
                addressLength = static_cast<int>(found->ai_addrlen);
                freeaddrinfo(found);
            }
            resolved = server;
            state = FirstYieldState(GetTickCount());
        }
        ULONGLONG rtt = addressLength ? TimeConnect(reinterpret_cast<sockaddr *>(&address), addressLength, stop) : 0;
        DWORD now = GetTickCount();
        ULONGLONG passed = SpeedGateReserved();
        if (rtt) {
            SetGateYieldRate(NextYieldRate(state, now, rtt, now - lastSample, passed - lastPassed));
            lastSample = now;
            lastPassed = passed;
        } else if (now - lastSample >= kYieldBlindMs) {
            SetGateYieldRate(0);
        }
    }
    SetGateYieldRate(0);
    if (started)
        WSACleanup();
    CloseHandle(stop);
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<const char *>(&MeasureMain), &self);
    FreeLibraryAndExitThread(self, 0);
}

}  // namespace

void SetYielding(bool on)
{
    ProcessLockHold hold(ProbeLock());
    if (!on && gStop) {
        SetEvent(gStop);
        CloseHandle(gStop);
        gStop = nullptr;
    } else if (on && !gStop) {
        HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        HANDLE ownStop = nullptr;
        HMODULE self = nullptr;
        // The thread's own reference: the module stays until it has ended.
        if (stop && DuplicateHandle(GetCurrentProcess(), stop, GetCurrentProcess(), &ownStop, 0, FALSE,
                                    DUPLICATE_SAME_ACCESS) &&
            GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<const char *>(&MeasureMain),
                               &self)) {
            HANDLE thread = CreateThread(nullptr, 0, MeasureMain, ownStop, 0, nullptr);
            if (thread) {
                CloseHandle(thread);
                gStop = stop;
                stop = ownStop = nullptr;
            } else {
                FreeLibrary(self);
            }
        }
        if (ownStop)
            CloseHandle(ownStop);
        if (stop)
            CloseHandle(stop);
    }
}

void NoteYieldServer(const char *url, const char *proxy)
{
    ServerAddress server = {};
    bool known = proxy && proxy[0] ? ServerOfProxy(proxy, &server) : ServerOfUrl(url, &server);
    if (!known)
        return;
    ProcessLockHold hold(ProbeLock());
    gServer = server;
}
