// The HTTP request component's object: one HTTP GET. Its first word points to
// its table of operations, __thiscall methods at fixed positions. The layout
// is the binary contract between Ravlix.dll and Netquill.dll.
#pragma once

#include <stddef.h>

// Receives a piece of the body of a request opened with a callback. Runs on
// the component's thread, one delivery at a time per request.
typedef void(__stdcall *ReceiveCallback)(void *context, const void *bytes, unsigned count);

struct WebRequest;

// Why a request failed, as operation 2 reports it.
enum WebRequestError {
    WebRequestOk = 0,
    WebRequestBadUrl = 1,        // the URL (or the proxy text) does not parse
    WebRequestResolveFailed = 2, // the host name has no address
    WebRequestConnectFailed = 3, // refused, unreachable or timed out while connecting
    WebRequestTimedOut = 4,      // no byte for too long
    WebRequestBadResponse = 5,   // malformed status line, header too long, bad framing
    WebRequestHttpStatus = 6,    // an answer other than the one asked for (status, range)
    WebRequestTooManyRedirects = 7,
    WebRequestCancelled = 8,
    WebRequestConnectionLost = 9,
    WebRequestTlsFailed = 10,
    WebRequestNoResources = 11,
    WebRequestBadHeader = 12,    // the extra header text is not header lines we can send
    WebRequestRangeRefused = 13, // a success answer to a range request that is not the range asked for
    WebRequestFileChanged = 14,  // the answer is of another version of the resource than the range continues:
                                 // another validator or total, or the whole resource under If-Range
    WebRequestProxyRefused = 15, // the proxy asks for a password (407): none was given, or not the right one
    WebRequestInsecureRedirect = 16  // a redirect from https to plain http, where anyone on the way could
                                     // change the file
};

struct WebRequestTable {
    // 0: sends the GET. extraHeader may be null; reserved is 0. With a
    // callback the body is pushed to it on the component's thread, without
    // one it waits for Read. Non-zero on success.
    int(__thiscall *Open)(WebRequest *self, const char *url, const char *proxy, const char *extraHeader,
                          int reserved, ReceiveCallback callback, void *context);
    // 1: callable from any thread; a Read blocked on this request returns 0 promptly.
    void(__thiscall *Cancel)(WebRequest *self);
    // 2: the WebRequestError of the last failure, WebRequestOk if none.
    int(__thiscall *LastError)(WebRequest *self);
    // 3: the response header text, status line included, valid until Close.
    const char *(__thiscall *GetResponseHeader)(WebRequest *self);
    // 4: ends the request; afterwards no delivery runs or begins.
    int(__thiscall *Close)(WebRequest *self);
    // 5: up to max body bytes into buffer, returning as soon as any have
    // arrived rather than waiting to fill it; 0 at the end of the body or on failure.
    unsigned(__thiscall *Read)(WebRequest *self, void *buffer, unsigned max);
    // 6: for a request opened without a callback, pushes the rest of its body
    // to callback on the component's thread from now on, as if it had been
    // opened with it: what Read took is not delivered again, and breaks are
    // mended by reconnecting with a range. Non-zero once deliveries began.
    int(__thiscall *DeliverRest)(WebRequest *self, ReceiveCallback callback, void *context);
};

struct WebRequest {
    const WebRequestTable *operations;
};

static_assert(offsetof(WebRequestTable, Open) == 0 * sizeof(void *), "Open is operation 0");
static_assert(offsetof(WebRequestTable, Cancel) == 1 * sizeof(void *), "Cancel is operation 1");
static_assert(offsetof(WebRequestTable, LastError) == 2 * sizeof(void *), "LastError is operation 2");
static_assert(offsetof(WebRequestTable, GetResponseHeader) == 3 * sizeof(void *),
              "GetResponseHeader is operation 3");
static_assert(offsetof(WebRequestTable, Close) == 4 * sizeof(void *), "Close is operation 4");
static_assert(offsetof(WebRequestTable, Read) == 5 * sizeof(void *), "Read is operation 5");
static_assert(offsetof(WebRequestTable, DeliverRest) == 6 * sizeof(void *), "DeliverRest is operation 6");
