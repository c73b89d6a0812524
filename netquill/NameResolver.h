// Name resolution that a cancel or a deadline can end. getaddrinfo cannot be
// interrupted and may wait tens of seconds for a resolver that does not
// answer, so the lookup runs on a thread of its own and the caller waits for
// its result, the request's cancel event or its deadline, whichever comes
// first. A lookup the caller stopped waiting for finishes on its own and
// frees what it found; it keeps the library loaded until then.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

class ResolvedAddresses {
public:
    ResolvedAddresses() : list_(nullptr) {}
    ~ResolvedAddresses() { Reset(nullptr); }
    ResolvedAddresses(const ResolvedAddresses &) = delete;
    ResolvedAddresses &operator=(const ResolvedAddresses &) = delete;

    const addrinfo *First() const { return list_; }
    void Reset(addrinfo *list)
    {
        if (list_)
            freeaddrinfo(list_);
        list_ = list;
    }

private:
    addrinfo *list_;
};

// The TCP addresses of host (a name or an IP literal) for port. Returns a
// WebRequestError: WebRequestResolveFailed when the name has no address or
// none came before the deadline, WebRequestCancelled when the cancel event
// was set first.
int ResolveHost(const char *host, unsigned short port, HANDLE cancel, DWORD deadline, ResolvedAddresses *out);
