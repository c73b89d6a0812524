// https through an HTTP proxy: a CONNECT to the origin's host and port, after
// which the proxy relays bytes both ways and TLS runs end to end through it.
#pragma once

#include <stddef.h>

#include "netquill/Connection.h"

struct ProxyServer;
struct Url;

// Asks the proxy at the other end of connection for a tunnel to target, with
// the proxy's authorization, and reads its answer past any interim 1xx, using
// buffer as scratch space. Returns a WebRequestError: a proxy that asks for
// a password (407, or 401) gives WebRequestProxyRefused, any other answer
// but 2xx WebRequestHttpStatus.
int OpenTunnel(Connection *connection, const Url &target, const ProxyServer &proxy, char *buffer, size_t capacity,
               HANDLE cancel, DWORD timeoutMs);
