// A TCP connection whose every wait also watches the request's cancel event
// and ends at a deadline: the socket is non-blocking and signals an event
// (WSAEventSelect), so a call never sleeps inside Winsock where a cancel
// could not reach it. TlsChannel wraps Send and Receive of this class for https.
#pragma once

#include <stddef.h>

#include "netquill/Handles.h"

enum IoStatus {
    IoOk,
    IoClosed,     // the peer ended the connection
    IoTimedOut,
    IoCancelled,  // the cancel event is set
    IoFailed,     // reset or another socket error; over TLS, an end without the close notify
};

class Connection {
public:
    Connection() {}
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    // Resolves host and connects to the first of its addresses that accepts,
    // trying them in the order and at the pace of AddressOrder.h, all within
    // timeoutMs. Returns a WebRequestError. The cancel event ends the
    // resolution as well as the connects.
    int Connect(const char *host, unsigned short port, HANDLE cancel, DWORD timeoutMs);

    IoStatus Send(const char *data, size_t size, HANDLE cancel, DWORD timeoutMs);

    // Waits up to timeoutMs for the first bytes, then returns what has arrived
    // (at most capacity).
    IoStatus Receive(char *buffer, size_t capacity, size_t *received, HANDLE cancel, DWORD timeoutMs);

    void Close();

    // The receive window every connection asks for (ReceiveBuffer.h); 0
    // where the system tunes it.
    static int ReceiveWindow();

    // Asks the system for a receive buffer of bytes from now on: the
    // sender's window closes once that much waits unread.
    void SetReceiveBuffer(int bytes);

    // A reader of this process paced itself with a receive buffer of bytes
    // just now (0: its pace ended). Connections that start within
    // kPacedStartMemoryMs start with that buffer, not ReceiveWindow(): a
    // sender's window, once open, does not close again, and a connection of
    // a capped or yielding download would otherwise be sent megabytes before
    // its reader's first hold showed its pace.
    static void NotePacedBuffer(int bytes);
    // The buffer the connection started with; 0 where the system's stayed.
    int StartingBuffer() const { return startingBuffer_; }

private:
    // Waits for a socket event, the cancel event or the deadline.
    IoStatus Wait(HANDLE cancel, DWORD deadline, WSANETWORKEVENTS *events);

    ScopedSocket socket_;
    ScopedHandle event_;
    int startingBuffer_ = 0;
};
