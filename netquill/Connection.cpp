#include "netquill/Connection.h"

#include <versionhelpers.h>
#include <ws2tcpip.h>

#include "components/WebRequest.h"
#include "netquill/AddressOrder.h"
#include "netquill/NameResolver.h"
#include "netquill/ReceiveBuffer.h"

namespace {

volatile LONG gPacedBuffer = 0;  // the last paced reader's buffer; 0: none
volatile LONG gPacedTick = 0;

// What a new connection asks for (Connection::NotePacedBuffer).
int StartingReceiveBuffer()
{
    LONG paced = InterlockedCompareExchange(&gPacedBuffer, 0, 0);
    DWORD since = GetTickCount() - static_cast<DWORD>(InterlockedCompareExchange(&gPacedTick, 0, 0));
    if (paced > 0 && since < kPacedStartMemoryMs)
        return paced;
    int fixed = Connection::ReceiveWindow();
    return fixed > kFirstReceiveBuffer ? kFirstReceiveBuffer : fixed;
}

// Milliseconds left until deadline (a GetTickCount value), 0 once it passed.
DWORD Remaining(DWORD deadline)
{
    LONG left = static_cast<LONG>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

SocketPlatform ThisPlatform()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    SocketPlatform platform;
    platform.wine = ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    platform.vistaOrLater = IsWindowsVistaOrGreater();
    return platform;
}

// The addresses being tried at once, each a non-blocking socket that
// signals its own event; the first to connect is handed to the Connection.
// Each asks for StartingReceiveBuffer().
class ConnectRace {
public:
    ConnectRace() : count_(0) {}
    ConnectRace(const ConnectRace &) = delete;
    ConnectRace &operator=(const ConnectRace &) = delete;

    int Count() const { return count_; }

    // Starts a connect to address; false when it cannot even be tried (no
    // socket of its family, a connect refused at once).
    bool Start(const sockaddr *address, int addressLength)
    {
        Attempt &attempt = attempts_[count_];
        attempt.socket.Reset(socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP));
        attempt.event.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
        if (!attempt.socket.IsSet() || !attempt.event.IsSet())
            return Drop(count_);
        int window = StartingReceiveBuffer();
        if (window > 0)
            setsockopt(attempt.socket.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&window),
                       sizeof(window));
        // Makes the socket non-blocking; FD_WRITE comes with the connect and
        // again whenever a send that would have blocked may go on.
        if (WSAEventSelect(attempt.socket.Get(), attempt.event.Get(), FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0)
            return Drop(count_);
        ++count_;
        if (connect(attempt.socket.Get(), address, addressLength) != 0 && WSAGetLastError() != WSAEWOULDBLOCK)
            return Drop(count_ - 1);
        return true;
    }

    // Waits until an attempt ends, the cancel event is set or waitMs pass.
    // Returns the attempt that connected, or -1; on IoOk with -1, an attempt
    // failed (it is gone) or nothing happened in waitMs.
    IoStatus Next(HANDLE cancel, DWORD waitMs, int *connected)
    {
        *connected = -1;
        HANDLE handles[1 + kMaxAddressAttempts];
        handles[0] = cancel;
        for (int i = 0; i < count_; ++i)
            handles[1 + i] = attempts_[i].event.Get();
        DWORD result = WaitForMultipleObjects(1 + count_, handles, FALSE, waitMs);
        if (result == WAIT_OBJECT_0)
            return IoCancelled;
        if (result == WAIT_TIMEOUT)
            return IoOk;
        int i = static_cast<int>(result - WAIT_OBJECT_0 - 1);
        if (i < 0 || i >= count_)
            return IoFailed;
        WSANETWORKEVENTS events;
        if (WSAEnumNetworkEvents(attempts_[i].socket.Get(), attempts_[i].event.Get(), &events) != 0) {
            Drop(i);
        } else if (events.lNetworkEvents & FD_CONNECT) {
            if (events.iErrorCode[FD_CONNECT_BIT] == 0)
                *connected = i;
            else
                Drop(i);
        }
        return IoOk;
    }

    // Hands the attempt's socket and event over; the other attempts close
    // when the race goes out of scope.
    void TakeWinner(int i, ScopedSocket *socketOut, ScopedHandle *eventOut)
    {
        socketOut->Reset(attempts_[i].socket.Release());
        eventOut->Reset(attempts_[i].event.Release());
    }

private:
    struct Attempt {
        ScopedSocket socket;
        ScopedHandle event;
    };

    // Closes attempt i and moves the last one into its place; false, for Start.
    bool Drop(int i)
    {
        attempts_[i].socket.Close();
        attempts_[i].event.Close();
        if (i < count_ - 1) {
            attempts_[i].socket.Reset(attempts_[count_ - 1].socket.Release());
            attempts_[i].event.Reset(attempts_[count_ - 1].event.Release());
        }
        if (i < count_)
            --count_;
        return false;
    }

    Attempt attempts_[kMaxAddressAttempts];
    int count_;
};

}  // namespace

int Connection::Connect(const char *host, unsigned short port, HANDLE cancel, DWORD timeoutMs)
{
    Close();
    DWORD deadline = GetTickCount() + timeoutMs;
    ResolvedAddresses addresses;
    int error = ResolveHost(host, port, cancel, deadline, &addresses);
    if (error != WebRequestOk)
        return error;
    const addrinfo *all[kMaxAddressAttempts];
    int families[kMaxAddressAttempts];
    int count = 0;
    for (const addrinfo *a = addresses.First(); a && count < kMaxAddressAttempts; a = a->ai_next) {
        all[count] = a;
        families[count++] = a->ai_family;
    }
    int order[kMaxAddressAttempts];
    count = InterleaveFamilies(families, count, order);

    // The next address starts when the last one started has had its delay,
    // or at once when it failed; the first to connect wins.
    ConnectRace race;
    int next = 0;
    DWORD nextStart = GetTickCount();
    for (;;) {
        while (next < count && (race.Count() == 0 || static_cast<LONG>(GetTickCount() - nextStart) >= 0)) {
            const addrinfo *a = all[order[next++]];
            if (race.Start(a->ai_addr, static_cast<int>(a->ai_addrlen)))
                nextStart = GetTickCount() + kNextAttemptDelayMs;
        }
        if (race.Count() == 0)
            return WebRequestConnectFailed;
        DWORD wait = Remaining(deadline);
        if (wait == 0)
            return WebRequestConnectFailed;
        if (next < count && Remaining(nextStart) < wait)
            wait = Remaining(nextStart);
        int before = race.Count();
        int connected;
        IoStatus status = race.Next(cancel, wait, &connected);
        if (status == IoCancelled)
            return WebRequestCancelled;
        if (status != IoOk)
            return WebRequestConnectFailed;
        if (connected >= 0) {
            race.TakeWinner(connected, &socket_, &event_);
            startingBuffer_ = StartingReceiveBuffer();
            return WebRequestOk;
        }
        // An attempt that failed lets the next address start at once.
        if (race.Count() < before)
            nextStart = GetTickCount();
    }
}

IoStatus Connection::Send(const char *data, size_t size, HANDLE cancel, DWORD timeoutMs)
{
    DWORD deadline = GetTickCount() + timeoutMs;
    while (size > 0) {
        int sent = send(socket_.Get(), data, static_cast<int>(size), 0);
        if (sent > 0) {
            data += sent;
            size -= static_cast<size_t>(sent);
            continue;
        }
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return IoFailed;
        WSANETWORKEVENTS events;
        IoStatus status = Wait(cancel, deadline, &events);
        if (status != IoOk)
            return status;
    }
    return IoOk;
}

IoStatus Connection::Receive(char *buffer, size_t capacity, size_t *received, HANDLE cancel, DWORD timeoutMs)
{
    *received = 0;
    DWORD deadline = GetTickCount() + timeoutMs;
    for (;;) {
        int n = recv(socket_.Get(), buffer, static_cast<int>(capacity), 0);
        if (n > 0) {
            *received = static_cast<size_t>(n);
            return IoOk;
        }
        if (n == 0)
            return IoClosed;
        if (WSAGetLastError() != WSAEWOULDBLOCK)
            return IoFailed;
        // recv re-armed FD_READ; the wait ends when bytes or the end arrive.
        WSANETWORKEVENTS events;
        IoStatus status = Wait(cancel, deadline, &events);
        if (status != IoOk)
            return status;
    }
}

IoStatus Connection::Wait(HANDLE cancel, DWORD deadline, WSANETWORKEVENTS *events)
{
    HANDLE handles[2] = {cancel, event_.Get()};
    DWORD result = WaitForMultipleObjects(2, handles, FALSE, Remaining(deadline));
    if (result == WAIT_OBJECT_0)
        return IoCancelled;
    if (result == WAIT_TIMEOUT)
        return IoTimedOut;
    if (result != WAIT_OBJECT_0 + 1)
        return IoFailed;
    // Reads and clears what happened, and resets the event.
    if (WSAEnumNetworkEvents(socket_.Get(), event_.Get(), events) != 0)
        return IoFailed;
    return IoOk;
}

void Connection::NotePacedBuffer(int bytes)
{
    InterlockedExchange(&gPacedTick, static_cast<LONG>(GetTickCount()));
    InterlockedExchange(&gPacedBuffer, bytes);
}

void Connection::SetReceiveBuffer(int bytes)
{
    if (socket_.IsSet())
        setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&bytes), sizeof(bytes));
}

int Connection::ReceiveWindow()
{
    static const int window = FixedReceiveBuffer(ThisPlatform());
    return window;
}

void Connection::Close()
{
    socket_.Close();
    event_.Close();
}
