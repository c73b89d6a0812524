#include "netquill/NameResolver.h"

#include <new>
#include <string.h>

#include "components/WebRequest.h"
#include "netquill/Handles.h"

namespace {

// One lookup, shared by the waiting caller and the thread that runs it; the
// last of the two to let go frees it, and with it the result nobody took.
const size_t kHostCapacity = 256;

struct Lookup {
    volatile LONG holders;
    char host[kHostCapacity];
    char service[8];
    addrinfo *result;
    int status;  // getaddrinfo's
    ScopedHandle done;
    HMODULE module;  // held by the thread until it ends
};

void LetGo(Lookup *lookup)
{
    if (InterlockedDecrement(&lookup->holders) != 0)
        return;
    if (lookup->result)
        freeaddrinfo(lookup->result);
    delete lookup;
}

addrinfo Hints(int flags)
{
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    return hints;
}

DWORD WINAPI RunLookup(void *argument)
{
    Lookup *lookup = static_cast<Lookup *>(argument);
    // Its own hold on Winsock: the request that asked may have ended and
    // released its own by the time the resolver answers.
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    addrinfo hints = Hints(0);
    lookup->status = started ? getaddrinfo(lookup->host, lookup->service, &hints, &lookup->result) : WSANOTINITIALISED;
    SetEvent(lookup->done.Get());
    HMODULE module = lookup->module;
    LetGo(lookup);
    if (started)
        WSACleanup();
    FreeLibraryAndExitThread(module, 0);
}

DWORD Remaining(DWORD deadline)
{
    LONG left = static_cast<LONG>(deadline - GetTickCount());
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

// Starts the lookup's thread, which holds the library and one of the
// lookup's two holds; false when it could not start.
bool StartLookup(Lookup *lookup)
{
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<const char *>(&RunLookup),
                            &lookup->module))
        return false;
    HANDLE thread = CreateThread(nullptr, 0, RunLookup, lookup, 0, nullptr);
    if (!thread) {
        FreeLibrary(lookup->module);
        return false;
    }
    CloseHandle(thread);
    return true;
}

}  // namespace

int ResolveHost(const char *host, unsigned short port, HANDLE cancel, DWORD deadline, ResolvedAddresses *out)
{
    char service[8];
    wsprintfA(service, "%u", port);
    // An address literal needs no resolver and no thread.
    addrinfo numeric = Hints(AI_NUMERICHOST);
    addrinfo *list = nullptr;
    if (getaddrinfo(host, service, &numeric, &list) == 0 && list) {
        out->Reset(list);
        return WebRequestOk;
    }
    size_t length = strlen(host);
    if (length >= kHostCapacity)
        return WebRequestResolveFailed;
    Lookup *lookup = new (std::nothrow) Lookup();
    if (!lookup)
        return WebRequestNoResources;
    lookup->holders = 2;
    memcpy(lookup->host, host, length + 1);
    strcpy(lookup->service, service);
    lookup->done.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (!lookup->done.IsSet() || !StartLookup(lookup)) {
        delete lookup;
        return WebRequestNoResources;
    }
    HANDLE handles[2] = {cancel, lookup->done.Get()};
    DWORD waited = WaitForMultipleObjects(2, handles, FALSE, Remaining(deadline));
    // A resolver that has not answered by the deadline counts as one that found nothing.
    int error = WebRequestResolveFailed;
    if (waited == WAIT_OBJECT_0) {
        error = WebRequestCancelled;
    } else if (waited == WAIT_OBJECT_0 + 1 && lookup->status == 0 && lookup->result) {
        out->Reset(lookup->result);
        lookup->result = nullptr;
        error = WebRequestOk;
    }
    LetGo(lookup);
    return error;
}
