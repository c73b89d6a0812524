#include "netquill/HttpRequest.h"

#include <new>
#include <string.h>

#include "netquill/ReadGathering.h"
#include "netquill/ReceiveBuffer.h"
#include "netquill/Timing.h"
#include "util/ThreadStack.h"

namespace {

// Under Wine every socket call is a round trip to the wineserver, so the
// body is read in large pieces: 8 KiB reads make a local download ten times
// slower than 1 MiB reads, and 256 KiB reads cost a single local connection
// a third more time and CPU. 512 KiB reads are as fast as 1 MiB ones (in
// alternating rounds), and each open request holds half the memory.
const size_t kReceiveBufferSize = 512 * 1024;
const int kMaxRedirects = 5;

HttpRequest *Self(WebRequest *request)
{
    return static_cast<HttpRequest *>(request);
}

int __thiscall OpenOperation(WebRequest *self, const char *url, const char *proxy, const char *extraHeader, int,
                             ReceiveCallback callback, void *context)
{
    return Self(self)->Open(url, proxy, extraHeader, callback, context);
}

void __thiscall CancelOperation(WebRequest *self)
{
    Self(self)->Cancel();
}

int __thiscall LastErrorOperation(WebRequest *self)
{
    return Self(self)->LastError();
}

const char *__thiscall GetResponseHeaderOperation(WebRequest *self)
{
    return Self(self)->ResponseHeader();
}

int __thiscall CloseOperation(WebRequest *self)
{
    Self(self)->Close();
    return 1;
}

unsigned __thiscall ReadOperation(WebRequest *self, void *buffer, unsigned max)
{
    return Self(self)->Read(buffer, max);
}

int __thiscall DeliverRestOperation(WebRequest *self, ReceiveCallback callback, void *context)
{
    return Self(self)->DeliverRest(callback, context);
}

const WebRequestTable kHttpRequestTable = {OpenOperation,  CancelOperation, LastErrorOperation,
                                           GetResponseHeaderOperation, CloseOperation, ReadOperation,
                                           DeliverRestOperation};

}  // namespace

HttpRequest::HttpRequest()
    : winsockStarted_(false), cancelled_(0), lastError_(WebRequestOk), useProxy_(false), emptyRange_(false),
      buffer_(nullptr), headerText_(nullptr), firstEtag_(), firstLastModified_(), open_(false), bodyDone_(false),
      resumable_(false), position_(0), attemptsWithoutProgress_(0), tooSlow_(false), slowBefore_(false), handedTick_(0), handedSize_(0), readLimit_(kReceiveBufferSize), receiveBuffer_(0), pending_(nullptr), pendingSize_(0),
      callback_(nullptr), context_(nullptr), threadId_(0)
{
    operations = &kHttpRequestTable;
    InitializeCriticalSection(&callLock_);
}

HttpRequest::~HttpRequest()
{
    Close();
    if (winsockStarted_)
        WSACleanup();
    DeleteCriticalSection(&callLock_);
}

bool HttpRequest::Init()
{
    WSADATA data;
    winsockStarted_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    cancelEvent_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    return winsockStarted_ && cancelEvent_.IsSet();
}

int HttpRequest::Open(const char *url, const char *proxy, const char *extraHeader, ReceiveCallback callback,
                      void *context)
{
    // Opening again starts afresh.
    if (open_)
        Close();
    EnterCriticalSection(&callLock_);
    callback_ = callback;
    context_ = context;
    int error = Begin(url, proxy, extraHeader);
    if (error == WebRequestOk) {
        open_ = true;
    } else {
        StopTransfer();
        Fail(error);
    }
    LeaveCriticalSection(&callLock_);
    if (error == WebRequestOk && callback && RequestTiming().openReturnDelayMs)
        Sleep(RequestTiming().openReturnDelayMs);
    return error == WebRequestOk;
}

int HttpRequest::Begin(const char *url, const char *proxy, const char *extraHeader)
{
    lastError_ = WebRequestOk;
    if (cancelled_)
        return WebRequestCancelled;
    if (!url || !ParseUrl(url, strlen(url), &url_) || !ParseProxy(proxy, &proxy_, &useProxy_))
        return WebRequestBadUrl;
    if (!TranslateExtraHeader(extraHeader, &extra_))
        return WebRequestBadHeader;
    buffer_ = static_cast<char *>(VirtualAlloc(nullptr, kReceiveBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!buffer_)
        return WebRequestNoResources;

    // A range whose first byte is one past its last (a segment the caller
    // already has) cannot be asked for; the byte before it is asked instead,
    // which shows that the server still serves the file with ranges, and no
    // byte of it is handed out.
    ByteRange asked = extra_.range;
    emptyRange_ = IsEmptyRange(asked);
    if (emptyRange_)
        asked.first = asked.last;
    int error = Establish(asked, true);
    if (error != WebRequestOk)
        return error;
    KeepValidators(exchange_.Head());
    if (emptyRange_) {
        position_ = window_.end;
        exchange_.Close();
    }
    bodyDone_ = false;
    attemptsWithoutProgress_ = 0;
    tooSlow_ = false;
    slowBefore_ = false;
    pendingSize_ = 0;
    // Read mode resumes only where the server has shown that it serves ranges.
    resumable_ = window_.endKnown && (callback_ || exchange_.Head().status == 206);
    if (callback_) {
        thread_.Reset(CreateThread(nullptr, 0, DeliveryMain, this, 0, &threadId_));
        if (!thread_.IsSet())
            return WebRequestNoResources;
    }
    return WebRequestOk;
}

int HttpRequest::Establish(const ByteRange &asked, bool keepHeader)
{
    const Timing &timing = RequestTiming();
    // A reconnect continues the bytes of the first answer: it must be of the same version.
    ExpectedVersion expected = {};
    if (extra_.ifRangeLength) {
        FieldValue given = {extra_.ifRange, extra_.ifRangeLength};
        (extra_.ifRangeWeak ? expected.weakTag : expected.ifRange) = given;
    }
    expected.sameAsFirst = !keepHeader;
    expected.firstEtag = firstEtag_;
    expected.firstLastModified = firstLastModified_;
    Url current = url_;
    for (int hop = 0;; ++hop) {
        // The request is built in the receive buffer: it has gone out before the answer comes in.
        // https goes through a proxy in a tunnel, where the origin gets the ordinary form.
        bool absoluteForm = useProxy_ && !current.secure;
        size_t length = BuildRequest(current, absoluteForm ? &proxy_ : nullptr, asked.present ? &asked : nullptr,
                                     extra_.lines, extra_.length, buffer_, kReceiveBufferSize);
        if (!length)
            return WebRequestBadUrl;
        int error = exchange_.Start(current, useProxy_ ? &proxy_ : nullptr, buffer_, length, buffer_,
                                    kReceiveBufferSize, cancelEvent_.Get(), timing);
        if (error != WebRequestOk)
            return error;
        // Reconnects keep the first header: the caller may hold on to its text.
        if (keepHeader && (error = KeepHeader()) != WebRequestOk)
            return error;
        const ResponseHead &head = exchange_.Head();
        if (absoluteForm && head.status == 407)
            return WebRequestProxyRefused;
        AnswerVerdict verdict = JudgeAnswer(head, asked, expected, &window_, &error);
        if (verdict == AnswerAccepted) {
            url_ = current;
            position_ = window_.first;
            speed_.Restart(GetTickCount());
            handedSize_ = 0;
            readLimit_ = kReceiveBufferSize;
            // A connection that started paced gets its buffer back once its
            // reader no longer paces itself.
            receiveBuffer_ = exchange_.StartingBuffer() != Connection::ReceiveWindow() ? exchange_.StartingBuffer() : 0;
            return WebRequestOk;
        }
        if (verdict == AnswerRefused)
            return error;
        if (hop == kMaxRedirects)
            return WebRequestTooManyRedirects;
        Url next;
        if (!ResolveLocation(current, head.location, head.locationLength, &next))
            return WebRequestBadUrl;
        // Past such a hop anyone on the way could hand out another file.
        if (current.secure && !next.secure)
            return WebRequestInsecureRedirect;
        current = next;
    }
}

int HttpRequest::KeepHeader()
{
    delete[] headerText_;
    size_t length = exchange_.HeaderLength();
    headerText_ = new (std::nothrow) char[length + 1];
    if (!headerText_)
        return WebRequestNoResources;
    memcpy(headerText_, exchange_.HeaderText(), length);
    headerText_[length] = '\0';
    return WebRequestOk;
}

void HttpRequest::KeepValidators(const ResponseHead &head)
{
    const char *received = exchange_.HeaderText();
    firstEtag_ = head.etag;
    if (firstEtag_.text)
        firstEtag_.text = headerText_ + (firstEtag_.text - received);
    firstLastModified_ = head.lastModified;
    if (firstLastModified_.text)
        firstLastModified_.text = headerText_ + (firstLastModified_.text - received);
}

bool HttpRequest::Reconnect(int *errorOut)
{
    const Timing &timing = RequestTiming();
    while (attemptsWithoutProgress_ < timing.retryAttempts) {
        exchange_.Close();
        DWORD pause = timing.retryPauseMs << attemptsWithoutProgress_;
        ++attemptsWithoutProgress_;
        if (WaitForSingleObject(cancelEvent_.Get(), pause) != WAIT_TIMEOUT) {
            *errorOut = WebRequestCancelled;
            return false;
        }
        ByteRange rest;
        rest.present = true;
        rest.first = position_;
        rest.lastKnown = true;
        rest.last = window_.end - 1;
        // The total the caller gave, or the length of the whole-file answer:
        // a server that now reports another size has another file.
        rest.totalKnown = extra_.range.present ? extra_.range.totalKnown : true;
        rest.total = extra_.range.present ? extra_.range.total : window_.end;
        int error = Establish(rest, false);
        if (error == WebRequestOk)
            return true;
        // Another version of the file, or ranges no longer served: asking
        // again would not make the answer continue these bytes.
        if (error == WebRequestCancelled || error == WebRequestFileChanged || error == WebRequestRangeRefused) {
            *errorOut = error;
            return false;
        }
    }
    return false;
}

PieceResult HttpRequest::Pull(const char **data, size_t *size, char *target, size_t targetCapacity)
{
    const Timing &timing = RequestTiming();
    size_t readLimit = readLimit_;
    if (handedSize_) {
        DWORD held = GetTickCount() - handedTick_;
        speed_.Exclude(held);
        readLimit = ReadLimitAtReaderPace(handedSize_, held, readLimit_, kReceiveBufferSize);
        readLimit_ = readLimit;
        handedSize_ = 0;
        int buffer =
            BufferAtReaderPace(readLimit, kReaderPaceMs, kReceiveBufferSize, Connection::ReceiveWindow(), receiveBuffer_);
        if (buffer != receiveBuffer_) {
            exchange_.SetReceiveBuffer(buffer);
            receiveBuffer_ = buffer;
        }
        if (readLimit < kReceiveBufferSize)
            Connection::NotePacedBuffer(receiveBuffer_);
    }
    while (!bodyDone_) {
        if ((window_.endKnown && position_ >= window_.end) || emptyRange_)
            break;
        int error = WebRequestCancelled;
        if (tooSlow_) {
            tooSlow_ = false;
            slowBefore_ = true;
            error = WebRequestTimedOut;
        } else if (!cancelled_) {
            PieceResult result =
                exchange_.NextPiece(cancelEvent_.Get(), timing.idleMs, readLimit, data, size, &error, target,
                                    targetCapacity);
            if (result == PieceData) {
                // Whatever a server sends past the range asked for is not the caller's.
                if (window_.endKnown && *size > window_.end - position_)
                    *size = static_cast<size_t>(window_.end - position_);
                position_ += *size;
                SpeedVerdict speed = speed_.Add(GetTickCount(), *size, timing.speedWindowMs);
                tooSlow_ = speed == SpeedTooSlow;
                if (speed == SpeedEnough)
                    slowBefore_ = false;
                if (!slowBefore_)
                    attemptsWithoutProgress_ = 0;
                handedTick_ = GetTickCount();
                handedSize_ = *size;
                return PieceData;
            }
            if (result == PieceEnd) {
                if (!window_.endKnown)
                    break;
                error = WebRequestConnectionLost;  // the body ended short of the range
            }
        }
        if (error == WebRequestCancelled || !resumable_ || !Reconnect(&error)) {
            Fail(error);
            bodyDone_ = true;
            exchange_.Close();
            return PieceFailed;
        }
    }
    bodyDone_ = true;
    exchange_.Close();
    return PieceEnd;
}

void HttpRequest::Fail(int error)
{
    InterlockedExchange(&lastError_, error);
}

unsigned HttpRequest::Read(void *buffer, unsigned max)
{
    EnterCriticalSection(&callLock_);
    // What has arrived is handed out at once, never held back to fill the
    // caller's buffer: a caller reading large chunks from a server that
    // stalls still sees every byte that came before the stall.
    unsigned filled = 0;
    char *target = static_cast<char *>(buffer);
    if (open_ && !callback_ && target && max > 0 &&
        (pendingSize_ > 0 || Pull(&pending_, &pendingSize_, target, max) == PieceData)) {
        // A piece read straight into the caller's buffer is there already.
        size_t take = max < pendingSize_ ? max : pendingSize_;
        if (pending_ != target)
            memcpy(target, pending_, take);
        pending_ += take;
        pendingSize_ -= take;
        filled = static_cast<unsigned>(take);
    }
    LeaveCriticalSection(&callLock_);
    return filled;
}

int HttpRequest::DeliverRest(ReceiveCallback callback, void *context)
{
    EnterCriticalSection(&callLock_);
    bool started = false;
    if (open_ && !callback_ && callback && !bodyDone_ && !cancelled_) {
        callback_ = callback;
        context_ = context;
        // Deliveries mend breaks as a request opened with a callback does:
        // the reconnect asks for the rest as a range, of the first answer's version.
        resumable_ = window_.endKnown;
        thread_.Reset(CreateThread(nullptr, 0, DeliveryMain, this, 0, &threadId_));
        started = thread_.IsSet();
        if (!started) {
            callback_ = nullptr;
            context_ = nullptr;
            Fail(WebRequestNoResources);
        }
    }
    LeaveCriticalSection(&callLock_);
    return started;
}

DWORD WINAPI HttpRequest::DeliveryMain(void *self)
{
    ReleaseUnusedStack();
    static_cast<HttpRequest *>(self)->Deliver();
    return 0;
}

// Runs on the request's own thread, which alone calls the callback: one
// delivery at a time, each a piece straight out of the receive buffer.
void HttpRequest::Deliver()
{
    if (emptyRange_) {
        // One empty delivery, by which the caller learns that its segment is complete.
        if (!cancelled_)
            callback_(context_, buffer_, 0);
        return;
    }
    // What Read left of its last piece comes first.
    if (pendingSize_ > 0 && !cancelled_)
        callback_(context_, pending_, static_cast<unsigned>(pendingSize_));
    pendingSize_ = 0;
    const char *data;
    size_t size;
    while (Pull(&data, &size) == PieceData && !cancelled_)
        callback_(context_, data, static_cast<unsigned>(size));
    // Nothing reads the buffer any more; a request whose range is in may stay
    // open a long while before its Close, and should not hold it meanwhile.
    // Close joins this thread before it looks at buffer_.
    exchange_.Close();
    VirtualFree(buffer_, 0, MEM_RELEASE);
    buffer_ = nullptr;
}

void HttpRequest::Cancel()
{
    InterlockedExchange(&cancelled_, 1);
    SetEvent(cancelEvent_.Get());
}

void HttpRequest::Close()
{
    // From inside a delivery the thread would wait for itself.
    if (thread_.IsSet() && GetCurrentThreadId() == threadId_)
        return;
    Cancel();
    EnterCriticalSection(&callLock_);
    StopTransfer();
    delete[] headerText_;
    headerText_ = nullptr;
    firstEtag_ = FieldValue();
    firstLastModified_ = FieldValue();
    open_ = false;
    ResetEvent(cancelEvent_.Get());
    InterlockedExchange(&cancelled_, 0);
    LeaveCriticalSection(&callLock_);
}

void HttpRequest::StopTransfer()
{
    if (thread_.IsSet()) {
        WaitForSingleObject(thread_.Get(), INFINITE);
        thread_.Close();
        threadId_ = 0;
    }
    exchange_.Close();
    if (buffer_) {
        VirtualFree(buffer_, 0, MEM_RELEASE);
        buffer_ = nullptr;
    }
    pendingSize_ = 0;
    callback_ = nullptr;
}
