// Netquill.dll's descriptor, exported by ordinal 1: each object it creates is
// one HTTP request.
#include <new>

#include "components/ComponentProvider.h"
#include "netquill/HttpRequest.h"

extern "C" ComponentDescriptor gNetquillDescriptor;

namespace {

void *__cdecl CreateRequest()
{
    HttpRequest *request = new (std::nothrow) HttpRequest();
    if (!request)
        return nullptr;
    if (!request->Init() || !RegisterInstance(&gNetquillDescriptor, request)) {
        delete request;
        return nullptr;
    }
    return static_cast<WebRequest *>(request);
}

// Runs under the descriptor's lock: must not release through it.
void __cdecl DestroyRequest(void *object)
{
    delete static_cast<HttpRequest *>(static_cast<WebRequest *>(object));
}

}  // namespace

ComponentDescriptor gNetquillDescriptor = {
    0x4C51454E,  // "NEQL"
    CreateRequest,
    DestroyRequest,
    sizeof(HttpRequest),
    nullptr,
    0,
};
