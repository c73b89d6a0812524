#include "netquill/Connection.h"

#include <versionhelpers.h>
#include <ws2tcpip.h>

#include "components/WebRequest.h"
#include "netquill/ReceiveBuffer.h"

namespace {

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

class AddressList {
public:
    AddressList() : list_(nullptr) {}
    ~AddressList()
    {
        if (list_)
            freeaddrinfo(list_);
    }
    AddressList(const AddressList &) = delete;
    AddressList &operator=(const AddressList &) = delete;

    bool Resolve(const char *host, unsigned short port)
    {
        char service[8];
        wsprintfA(service, "%u", port);
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        return getaddrinfo(host, service, &hints, &list_) == 0 && list_;
    }
    const addrinfo *First() const { return list_; }

private:
    addrinfo *list_;
};

}  // namespace

int Connection::Connect(const char *host, unsigned short port, HANDLE cancel, DWORD timeoutMs)
{
    Close();
    DWORD deadline = GetTickCount() + timeoutMs;
    AddressList addresses;
    if (!addresses.Resolve(host, port))
        return WebRequestResolveFailed;
    event_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!event_.IsSet())
        return WebRequestNoResources;
    int result = WebRequestConnectFailed;
    for (const addrinfo *a = addresses.First(); a; a = a->ai_next) {
        result = ConnectTo(a->ai_addr, static_cast<int>(a->ai_addrlen), cancel, deadline);
        if (result == WebRequestOk || result == WebRequestCancelled || result == WebRequestNoResources)
            break;
    }
    if (result != WebRequestOk)
        Close();
    return result;
}

int Connection::ConnectTo(const sockaddr *address, int addressLength, HANDLE cancel, DWORD deadline)
{
    socket_.Reset(socket(address->sa_family, SOCK_STREAM, IPPROTO_TCP));
    if (!socket_.IsSet())
        return WebRequestNoResources;
    static const int window = FixedReceiveBuffer(ThisPlatform());
    if (window > 0)
        setsockopt(socket_.Get(), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&window), sizeof(window));
    // Makes the socket non-blocking; FD_WRITE comes with the connect and
    // again whenever a send that would have blocked may go on.
    if (WSAEventSelect(socket_.Get(), event_.Get(), FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0)
        return WebRequestNoResources;
    if (connect(socket_.Get(), address, addressLength) == 0)
        return WebRequestOk;
    if (WSAGetLastError() != WSAEWOULDBLOCK)
        return WebRequestConnectFailed;
    for (;;) {
        WSANETWORKEVENTS events;
        IoStatus status = Wait(cancel, deadline, &events);
        if (status == IoCancelled)
            return WebRequestCancelled;
        if (status != IoOk)
            return WebRequestConnectFailed;
        if (events.lNetworkEvents & FD_CONNECT)
            return events.iErrorCode[FD_CONNECT_BIT] == 0 ? WebRequestOk : WebRequestConnectFailed;
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

void Connection::Close()
{
    socket_.Close();
    event_.Close();
}
