// https through an HTTP proxy: a CONNECT to the origin's host and port, after
// which the proxy relays bytes both ways and TLS runs end to end through it.
#pragma once

#include <stddef.h>

#include "netquill/Connection.h"

struct Url;

// Asks the proxy at the other end of connection for a tunnel to target and
// reads its answer, using buffer as scratch space. Returns a
// WebRequestError: a proxy that refuses (any answer but 2xx) gives
// WebRequestHttpStatus.
int OpenTunnel(Connection *connection, const Url &target, char *buffer, size_t capacity, HANDLE cancel,
               DWORD timeoutMs);
