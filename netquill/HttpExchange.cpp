#include "netquill/HttpExchange.h"

#include <string.h>

#include "components/WebRequest.h"
#include "netquill/ProxyTunnel.h"
#include "netquill/ReadGathering.h"
#include "netquill/Timing.h"
#include "netquill/Url.h"
#include "util/MicroClock.h"

namespace {

int ErrorOf(IoStatus status)
{
    switch (status) {
    case IoOk:
        return WebRequestOk;
    case IoTimedOut:
        return WebRequestTimedOut;
    case IoCancelled:
        return WebRequestCancelled;
    case IoClosed:
    case IoFailed:
        break;
    }
    return WebRequestConnectionLost;
}

}  // namespace

int HttpExchange::Start(const Url &target, const ProxyServer *proxy, const char *request, size_t requestLength, char *buffer,
                        size_t capacity, HANDLE cancel, const Timing &timing)
{
    Close();
    buffer_ = buffer;
    capacity_ = capacity;
    // The request may lie at the start of the buffer: the tunnel's answer goes after it.
    int error = Connect(target, proxy, buffer + requestLength, capacity - requestLength, cancel, timing);
    if (error != WebRequestOk)
        return error;
    DWORD started = GetTickCount();
    IoStatus status = Send(request, requestLength, cancel, timing.headerMs);
    if (status != IoOk)
        return ErrorOf(status);
    DWORD spent = GetTickCount() - started;
    return ReadHeader(cancel, spent < timing.headerMs ? timing.headerMs - spent : 0);
}

int HttpExchange::Connect(const Url &target, const ProxyServer *proxy, char *scratch, size_t scratchSize, HANDLE cancel,
                          const Timing &timing)
{
    const Url &peer = proxy ? proxy->address : target;
    int error = connection_.Connect(peer.host, peer.port, cancel, timing.connectMs);
    if (error != WebRequestOk || !target.secure)
        return error;
    if (proxy && (error = OpenTunnel(&connection_, target, *proxy, scratch, scratchSize, cancel, timing.headerMs)) != WebRequestOk)
        return error;
    secure_ = true;
    // The handshake counts against the connect time-out: no request has gone out yet.
    return tls_.Start(&connection_, target.host, cancel, timing.connectMs);
}

IoStatus HttpExchange::Send(const char *data, size_t size, HANDLE cancel, DWORD timeoutMs)
{
    return secure_ ? tls_.Send(data, size, cancel, timeoutMs) : connection_.Send(data, size, cancel, timeoutMs);
}

IoStatus HttpExchange::Receive(char *buffer, size_t capacity, size_t *received, HANDLE cancel, DWORD timeoutMs)
{
    return secure_ ? tls_.Receive(buffer, capacity, received, cancel, timeoutMs)
                   : connection_.Receive(buffer, capacity, received, cancel, timeoutMs);
}

int HttpExchange::ReadHeader(HANDLE cancel, DWORD timeoutMs)
{
    DWORD deadline = GetTickCount() + timeoutMs;
    size_t filled = 0;
    size_t scanned = 0;
    for (;;) {
        size_t headerEnd = FindHeaderEnd(buffer_, filled, &scanned);
        if (headerEnd > kMaxHeaderLength || (headerEnd == 0 && filled >= kMaxHeaderLength))
            return WebRequestBadResponse;
        if (headerEnd) {
            if (!ParseResponseHead(buffer_, headerEnd, &head_))
                return WebRequestBadResponse;
            if (head_.status >= 100 && head_.status < 200 && head_.status != 101) {
                memmove(buffer_, buffer_ + headerEnd, filled - headerEnd);
                filled -= headerEnd;
                scanned = 0;
                continue;
            }
            headerLength_ = headerEnd;
            begin_ = headerEnd;
            end_ = filled;
            framing_.Start(head_.body, head_.contentLength);
            return WebRequestOk;
        }
        LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0)
            return WebRequestTimedOut;
        size_t received;
        IoStatus status =
            Receive(buffer_ + filled, capacity_ - filled, &received, cancel, static_cast<DWORD>(left));
        if (status == IoClosed)
            return filled ? WebRequestBadResponse : WebRequestConnectionLost;
        if (status != IoOk)
            return ErrorOf(status);
        filled += received;
    }
}

PieceResult HttpExchange::NextPiece(HANDLE cancel, DWORD idleMs, size_t readLimit, const char **data, size_t *size,
                                    int *errorOut, char *target, size_t targetCapacity)
{
    for (;;) {
        const char *cursor = buffer_ + begin_;
        DecodeResult result = framing_.Next(&cursor, buffer_ + end_, data, size);
        begin_ = static_cast<size_t>(cursor - buffer_);
        if (result == DecodeData)
            return PieceData;
        if (result == DecodeDone)
            return PieceEnd;
        if (result == DecodeMalformed) {
            *errorOut = WebRequestBadResponse;
            return PieceFailed;
        }
        // The framing has taken everything: the whole buffer is free again.
        begin_ = end_ = 0;
        size_t received;
        size_t direct = target ? framing_.PlainRun(targetCapacity) : 0;
        IoStatus status = direct ? ReceiveBody(target, direct, cancel, idleMs, &received)
                                 : ReceiveBody(buffer_, readLimit < capacity_ ? readLimit : capacity_, cancel,
                                               idleMs, &received);
        if (status == IoOk && direct) {
            // All of it is body: the framing hands it out where it lies.
            const char *at = target;
            if (framing_.Next(&at, target + received, data, size) == DecodeData)
                return PieceData;
            continue;
        }
        if (status == IoOk) {
            end_ = received;
            continue;
        }
        if (status == IoClosed && framing_.EndsWithConnection())
            return PieceEnd;
        *errorOut = ErrorOf(status);
        return PieceFailed;
    }
}

IoStatus HttpExchange::ReceiveBody(char *into, size_t capacity, HANDLE cancel, DWORD idleMs, size_t *received)
{
    *received = 0;
    unsigned pauseMs = GatherPauseMs(lastRead_, lastArrivalMicros_, capacity, Connection::ReceiveWindow());
    unsigned long long start = MicrosecondsNow();
    if (pauseMs && WaitForSingleObject(cancel, pauseMs) == WAIT_OBJECT_0)
        return IoCancelled;
    IoStatus status = Receive(into, capacity, received, cancel, idleMs);
    lastRead_ = status == IoOk ? *received : 0;
    lastArrivalMicros_ = MicrosecondsNow() - start;
    return status;
}

void HttpExchange::Close()
{
    tls_.Close();
    secure_ = false;
    connection_.Close();
    begin_ = end_ = 0;
    headerLength_ = 0;
    lastRead_ = 0;
}
