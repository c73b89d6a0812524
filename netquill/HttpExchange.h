// One GET and its answer over one connection: sends the request, reads the
// header, then hands out the body in the pieces the socket delivers. The
// receive buffer belongs to the caller; pieces point into it and stay valid
// until the next call.
#pragma once

#include <stddef.h>

#include "netquill/BodyFraming.h"
#include "netquill/Connection.h"
#include "netquill/HttpResponseParser.h"
#include "netquill/TlsChannel.h"

struct ProxyServer;
struct Timing;
struct Url;

enum PieceResult {
    PieceData,
    PieceEnd,  // the body is complete as its framing says
    PieceFailed,
};

class HttpExchange {
public:
    HttpExchange()
        : secure_(false), buffer_(nullptr), capacity_(0), begin_(0), end_(0), headerLength_(0), lastRead_(0),
          lastArrivalMicros_(0)
    {
    }
    HttpExchange(const HttpExchange &) = delete;
    HttpExchange &operator=(const HttpExchange &) = delete;

    // Connects to target, or to proxy when there is one (through a CONNECT
    // tunnel when target is https), runs TLS for https, sends the request and
    // reads the answer up to the end of its header, skipping interim 1xx
    // answers. Returns a WebRequestError. The header text stays at the start
    // of the buffer until the first NextPiece.
    int Start(const Url &target, const ProxyServer *proxy, const char *request, size_t requestLength, char *buffer,
              size_t capacity, HANDLE cancel, const Timing &timing);

    const ResponseHead &Head() const { return head_; }
    const char *HeaderText() const { return buffer_; }
    size_t HeaderLength() const { return headerLength_; }

    // The next piece of the body, reading the connection when the buffer
    // holds nothing more, at most readLimit bytes at a time into the
    // component's buffer; waits at most idleMs for a byte. On PieceFailed,
    // *errorOut is the WebRequestError. Given a target, a body whose bytes
    // come without framing between them is read straight into it, at most
    // targetCapacity bytes and never past the body's end, and the piece is
    // then at target: a reader saves copying each byte once more.
    PieceResult NextPiece(HANDLE cancel, DWORD idleMs, size_t readLimit, const char **data, size_t *size, int *errorOut,
                          char *target = nullptr, size_t targetCapacity = 0);

    void Close();

    // The connection's receive buffer, for a reader that paces itself
    // (ReceiveBuffer.h: BufferAtReaderPace).
    void SetReceiveBuffer(int bytes) { connection_.SetReceiveBuffer(bytes); }
    int StartingBuffer() const { return connection_.StartingBuffer(); }

private:
    int Connect(const Url &target, const ProxyServer *proxy, char *scratch, size_t scratchSize, HANDLE cancel,
                const Timing &timing);
    int ReadHeader(HANDLE cancel, DWORD timeoutMs);
    // The byte stream of the answer: plain or through TLS.
    IoStatus Send(const char *data, size_t size, HANDLE cancel, DWORD timeoutMs);
    IoStatus Receive(char *buffer, size_t capacity, size_t *received, HANDLE cancel, DWORD timeoutMs);
    // Reads the next stretch of the body, at most capacity bytes, into the
    // component's buffer or the reader's, after the pause ReadGathering.h
    // asks for when the body comes slower than it is read.
    IoStatus ReceiveBody(char *into, size_t capacity, HANDLE cancel, DWORD idleMs, size_t *received);

    Connection connection_;
    TlsChannel tls_;
    bool secure_;
    char *buffer_;
    size_t capacity_;
    size_t begin_;  // unread bytes of the buffer: [begin_, end_)
    size_t end_;
    ResponseHead head_;
    size_t headerLength_;
    BodyFraming framing_;
    // The last body read: its bytes, and the microseconds from the end of
    // the pause before it to its return.
    size_t lastRead_;
    unsigned long long lastArrivalMicros_;
};
