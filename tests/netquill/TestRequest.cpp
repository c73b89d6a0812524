#include "netquill/TestRequest.h"

#include "components/ComponentAccess.h"

TestRequest::TestRequest()
    : onDelivery(nullptr), onDeliveryContext(nullptr), open_(false), openingThread_(0), deliveries_(0), inside_(0),
      broken_(false)
{
    request_ = static_cast<WebRequest *>(CreateComponent(HttpLibraryDescriptor()));
    InitializeCriticalSection(&lock_);
}

TestRequest::~TestRequest()
{
    if (request_) {
        if (open_)
            request_->operations->Close(request_);
        ReleaseComponent(HttpLibraryDescriptor(), request_);
    }
    DeleteCriticalSection(&lock_);
}

bool TestRequest::Open(const std::string &url, const char *extraHeader, bool withCallback, const char *proxy)
{
    openingThread_ = GetCurrentThreadId();
    open_ = request_->operations->Open(request_, url.c_str(), proxy, extraHeader, 0, withCallback ? Receive : nullptr,
                                       this) != 0;
    return open_;
}

unsigned TestRequest::Read(void *buffer, unsigned max)
{
    return request_->operations->Read(request_, buffer, max);
}

bool TestRequest::DeliverRest()
{
    return request_->operations->DeliverRest(request_, Receive, this) != 0;
}

std::string TestRequest::ReadAll(unsigned chunk)
{
    std::string all;
    std::string buffer(chunk, '\0');
    while (unsigned n = Read(&buffer[0], chunk))
        all.append(buffer.data(), n);
    return all;
}

void TestRequest::Cancel()
{
    request_->operations->Cancel(request_);
}

int TestRequest::LastError()
{
    return request_->operations->LastError(request_);
}

std::string TestRequest::Header()
{
    return request_->operations->GetResponseHeader(request_);
}

void TestRequest::Close()
{
    request_->operations->Close(request_);
    open_ = false;
}

std::string TestRequest::Received()
{
    EnterCriticalSection(&lock_);
    std::string copy = received_;
    LeaveCriticalSection(&lock_);
    return copy;
}

int TestRequest::Deliveries()
{
    EnterCriticalSection(&lock_);
    int count = deliveries_;
    LeaveCriticalSection(&lock_);
    return count;
}

bool TestRequest::DeliveryRulesBroken()
{
    EnterCriticalSection(&lock_);
    bool broken = broken_;
    LeaveCriticalSection(&lock_);
    return broken;
}

bool TestRequest::WaitForBytes(size_t size, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (Received().size() < size) {
        if (GetTickCount() - start > timeoutMs || LastError() != WebRequestOk)
            return false;
        Sleep(5);
    }
    return true;
}

bool TestRequest::WaitForFailure(DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    while (LastError() == WebRequestOk) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(5);
    }
    return true;
}

void __stdcall TestRequest::Receive(void *context, const void *bytes, unsigned count)
{
    TestRequest *self = static_cast<TestRequest *>(context);
    bool overlapping = InterlockedIncrement(&self->inside_) != 1;
    if (self->onDelivery)
        self->onDelivery(self->onDeliveryContext, count);
    EnterCriticalSection(&self->lock_);
    if (overlapping || GetCurrentThreadId() == self->openingThread_)
        self->broken_ = true;
    self->received_.append(static_cast<const char *>(bytes), count);
    ++self->deliveries_;
    LeaveCriticalSection(&self->lock_);
    InterlockedDecrement(&self->inside_);
}
