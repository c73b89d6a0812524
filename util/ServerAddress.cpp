#include "util/ServerAddress.h"

#include <stdio.h>
#include <string.h>

namespace {

// The host and port of a URL "scheme://[user@]host[:port]/...", or of a
// proxy "host:port"; a bracketed IPv6 host loses its brackets.
bool SplitServer(const char *text, bool isUrl, ServerAddress *server)
{
    const char *at = text;
    const char *defaultPort = "80";
    if (isUrl) {
        const char *scheme = strstr(text, "://");
        if (!scheme)
            return false;
        if (scheme - text == 5 && _strnicmp(text, "https", 5) == 0)
            defaultPort = "443";
        at = scheme + 3;
    }
    size_t length = strcspn(at, "/?#");
    const char *user = static_cast<const char *>(memchr(at, '@', length));
    if (user) {
        length -= user + 1 - at;
        at = user + 1;
    }
    const char *hostEnd, *portAt = nullptr;
    if (*at == '[') {
        hostEnd = static_cast<const char *>(memchr(at, ']', length));
        if (!hostEnd)
            return false;
        ++at;
        if (hostEnd + 1 < at - 1 + length && hostEnd[1] == ':')
            portAt = hostEnd + 2;
    } else {
        hostEnd = static_cast<const char *>(memchr(at, ':', length));
        if (hostEnd)
            portAt = hostEnd + 1;
        else
            hostEnd = at + length;
    }
    size_t hostLength = hostEnd - at;
    if (hostLength == 0 || hostLength >= sizeof(server->host))
        return false;
    memcpy(server->host, at, hostLength);
    server->host[hostLength] = '\0';
    size_t portLength = portAt ? strspn(portAt, "0123456789") : 0;
    if (portLength == 0 || portLength >= sizeof(server->port)) {
        snprintf(server->port, sizeof(server->port), "%s", defaultPort);
    } else {
        memcpy(server->port, portAt, portLength);
        server->port[portLength] = '\0';
    }
    return true;
}

}  // namespace

bool ServerOfUrl(const char *url, ServerAddress *server)
{
    return SplitServer(url, true, server);
}

bool ServerOfProxy(const char *proxy, ServerAddress *server)
{
    return SplitServer(proxy, false, server);
}
