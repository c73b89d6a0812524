#include "netquill/ProxyTunnel.h"

#include <string.h>

#include "components/WebRequest.h"
#include "netquill/HttpResponseParser.h"
#include "netquill/ProxyAuthorization.h"
#include "netquill/Url.h"

namespace {

// "CONNECT host:port": the port always stands, unlike in a Host field.
size_t BuildConnect(const Url &target, const ProxyServer &proxy, char *out, size_t capacity)
{
    char authority[kMaxHostLength + 16];
    if (target.ipv6Literal)
        wsprintfA(authority, "[%s]:%u", target.host, target.port);
    else
        wsprintfA(authority, "%s:%u", target.host, target.port);
    char authorization[kMaxProxyAuthorizationLength];
    FormatProxyAuthorization(proxy, authorization, sizeof(authorization));
    static const char kFormat[] = "CONNECT %s HTTP/1.1\r\nHost: %s\r\nUser-Agent: Ravlix/1.0\r\n%s\r\n";
    if (2 * strlen(authority) + strlen(authorization) + sizeof(kFormat) > capacity)
        return 0;
    return static_cast<size_t>(wsprintfA(out, kFormat, authority, authority, authorization));
}

}  // namespace

int OpenTunnel(Connection *connection, const Url &target, const ProxyServer &proxy, char *buffer, size_t capacity,
               HANDLE cancel, DWORD timeoutMs)
{
    DWORD deadline = GetTickCount() + timeoutMs;
    size_t length = BuildConnect(target, proxy, buffer, capacity);
    if (!length)
        return WebRequestBadUrl;
    IoStatus status = connection->Send(buffer, length, cancel, timeoutMs);
    size_t filled = 0;
    size_t scanned = 0;
    // The answer is read to the end of its header only: after a 2xx the
    // next byte from the proxy is the origin's first TLS byte.
    while (status == IoOk) {
        size_t headerEnd = FindHeaderEnd(buffer, filled, &scanned);
        if (headerEnd) {
            ResponseHead head;
            if (!ParseResponseHead(buffer, headerEnd, &head))
                return WebRequestBadResponse;
            if (head.status >= 100 && head.status < 200) {
                // An interim answer: the real one follows it.
                memmove(buffer, buffer + headerEnd, filled - headerEnd);
                filled -= headerEnd;
                scanned = 0;
                continue;
            }
            // No answer to a CONNECT comes from the origin: a 401 (as some
            // proxies answer a wrong password) is the proxy's refusal too.
            if (head.status == 407 || head.status == 401)
                return WebRequestProxyRefused;
            return head.status >= 200 && head.status < 300 ? WebRequestOk : WebRequestHttpStatus;
        }
        if (filled >= kMaxHeaderLength || filled == capacity)
            return WebRequestBadResponse;
        LONG left = static_cast<LONG>(deadline - GetTickCount());
        if (left <= 0)
            return WebRequestTimedOut;
        size_t received;
        status = connection->Receive(buffer + filled, capacity - filled, &received, cancel, static_cast<DWORD>(left));
        filled += status == IoOk ? received : 0;
    }
    if (status == IoCancelled)
        return WebRequestCancelled;
    if (status == IoTimedOut)
        return WebRequestTimedOut;
    return WebRequestConnectFailed;
}
