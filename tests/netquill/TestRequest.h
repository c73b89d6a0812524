// A WebRequest of the built Netquill.dll, made and given back through its
// descriptor as the plug-in does, with a callback that records what arrives.
#pragma once

#include <windows.h>

#include <string>

#include "components/WebRequest.h"

class TestRequest {
public:
    TestRequest();
    // Closes the request if Open succeeded, then gives it back.
    ~TestRequest();
    TestRequest(const TestRequest &) = delete;
    TestRequest &operator=(const TestRequest &) = delete;

    bool Open(const std::string &url, const char *extraHeader = nullptr, bool withCallback = false,
              const char *proxy = "");
    unsigned Read(void *buffer, unsigned max);
    // Has the rest of the body pushed to the recording callback.
    bool DeliverRest();
    // Reads in pieces of `chunk` bytes until Read returns 0.
    std::string ReadAll(unsigned chunk);
    void Cancel();
    int LastError();
    std::string Header();
    void Close();

    // What the callback received, in order.
    std::string Received();
    int Deliveries();
    // Whether two deliveries ever overlapped, or came on the thread that opened.
    bool DeliveryRulesBroken();
    // Waits until `size` bytes arrived, or LastError reports a failure.
    bool WaitForBytes(size_t size, DWORD timeoutMs);
    bool WaitForFailure(DWORD timeoutMs);

    // Called inside each delivery (on the component's thread) before it is recorded.
    void (*onDelivery)(void *context, unsigned count);
    void *onDeliveryContext;

private:
    static void __stdcall Receive(void *context, const void *bytes, unsigned count);

    WebRequest *request_;
    bool open_;
    DWORD openingThread_;
    CRITICAL_SECTION lock_;
    std::string received_;
    int deliveries_;
    LONG inside_;
    bool broken_;
};
