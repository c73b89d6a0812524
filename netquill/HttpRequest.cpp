#include "netquill/HttpRequest.h"

namespace {

int __thiscall Open(WebRequest *self, const char *, const char *, const char *, int, ReceiveCallback, void *)
{
    static_cast<HttpRequest *>(self)->lastError = WebRequestConnectFailed;
    return 0;
}

void __thiscall Cancel(WebRequest *)
{
}

int __thiscall LastError(WebRequest *self)
{
    return static_cast<HttpRequest *>(self)->lastError;
}

const char *__thiscall GetResponseHeader(WebRequest *)
{
    return "";
}

int __thiscall Close(WebRequest *)
{
    return 1;
}

unsigned __thiscall Read(WebRequest *, void *, unsigned)
{
    return 0;
}

const WebRequestTable kHttpRequestTable = {Open, Cancel, LastError, GetResponseHeader, Close, Read};

}  // namespace

HttpRequest::HttpRequest() : lastError(WebRequestOk)
{
    operations = &kHttpRequestTable;
}

HttpRequest::~HttpRequest() = default;
