// One HTTP GET, as Netquill.dll hands it out. Open connects, follows
// redirects and checks the answer on the caller's thread; the body then
// either waits for Read or is pushed to the caller's callback by a thread of
// the request's own. Breaks in a body whose end is known are mended by
// reconnecting with a range from the next byte not yet handed out, and only
// by an answer of the same version of the resource as the first one.
#pragma once

#include "components/WebRequest.h"
#include "netquill/AnswerCheck.h"
#include "netquill/Handles.h"
#include "netquill/HttpExchange.h"
#include "netquill/RequestText.h"
#include "netquill/SpeedFloor.h"
#include "netquill/Url.h"

class HttpRequest : public WebRequest {
public:
    HttpRequest();
    ~HttpRequest();
    HttpRequest(const HttpRequest &) = delete;
    HttpRequest &operator=(const HttpRequest &) = delete;

    // Starts Winsock and makes the cancel event; false when either fails.
    bool Init();

    int Open(const char *url, const char *proxy, const char *extraHeader, ReceiveCallback callback, void *context);
    // Any thread: wakes every wait of the request at once. A running Open
    // fails, a blocked Read returns, deliveries stop; the request stays
    // cancelled until Close.
    void Cancel();
    int LastError() const { return lastError_; }
    const char *ResponseHeader() const { return headerText_ ? headerText_ : ""; }
    // Cancels, then waits for a running Open, Read or delivery to end and
    // releases the thread, socket, events and buffers. From inside a delivery
    // it would wait for itself, so there it does nothing.
    void Close();
    // The bytes that have arrived, at most max, waiting only while there are none.
    unsigned Read(void *buffer, unsigned max);
    // Turns a request opened without a callback into one that pushes the
    // rest of its body to callback; false when it was opened with one, its
    // body is over, or the thread cannot start.
    int DeliverRest(ReceiveCallback callback, void *context);

private:
    int Begin(const char *url, const char *proxy, const char *extraHeader);
    // Sends the GET for `asked` and follows redirects to an accepted answer.
    int Establish(const ByteRange &asked, bool keepHeader);
    int KeepHeader();
    // Points firstEtag_ and firstLastModified_ at the kept header text.
    void KeepValidators(const ResponseHead &head);
    bool Reconnect(int *errorOut);
    // The next piece of the body within the caller's window, reconnecting
    // where allowed. With a target, the piece may be read straight into it
    // (HttpExchange::NextPiece); *data then points there.
    PieceResult Pull(const char **data, size_t *size, char *target = nullptr, size_t targetCapacity = 0);
    void Fail(int error);
    // Ends the transfer: joins the delivery thread, closes the connection and
    // frees the buffer. The header text stays until Close.
    void StopTransfer();

    static DWORD WINAPI DeliveryMain(void *self);
    void Deliver();

    CRITICAL_SECTION callLock_;  // Open, Read and Close exclude each other
    bool winsockStarted_;
    ScopedHandle cancelEvent_;   // set by Cancel and Close; wakes every wait of the request
    volatile LONG cancelled_;    // the same, for the checks between waits
    volatile LONG lastError_;

    Url url_;  // the resource; after redirects, the URL that answered
    bool useProxy_;
    ProxyServer proxy_;
    ExtraHeader extra_;
    bool emptyRange_;
    char *buffer_;  // the receive buffer, which pieces of the body point into
    HttpExchange exchange_;
    char *headerText_;
    FieldValue firstEtag_;  // the first answer's validators, inside headerText_
    FieldValue firstLastModified_;

    bool open_;
    bool bodyDone_;
    bool resumable_;
    BodyWindow window_;
    unsigned long long position_;  // the next byte of the resource to hand out
    int attemptsWithoutProgress_;
    SpeedWindow speed_;  // of the connection the body comes on
    bool tooSlow_;       // it fell below the speed floor: the next piece comes after a reconnect
    // The last reconnect was for slowness: bytes count as progress only once
    // a window has met the floor again, or a trickle would be asked again for ever.
    bool slowBefore_;
    // When the reader was handed its last piece and how large it was: the
    // time until it asks for the next is its own (SpeedWindow::Exclude,
    // ReadLimitAtReaderPace).
    DWORD handedTick_;
    size_t handedSize_;
    size_t readLimit_;  // what the last read could bring at most
    int receiveBuffer_;  // as last set for the reader's pace (BufferAtReaderPace); 0: never
    const char *pending_;  // what Read has not copied out yet of the last piece
    size_t pendingSize_;

    ReceiveCallback callback_;
    void *context_;
    ScopedHandle thread_;
    DWORD threadId_;
};
