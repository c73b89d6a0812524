// What a proxy is told of the user: Basic authentication (RFC 7617), sent
// with every request to the proxy, so that a proxy that asks for a password
// never needs a second round trip.
#pragma once

#include <stddef.h>

#include "netquill/Url.h"

// Room for the line below, its zero included.
const size_t kMaxProxyAuthorizationLength = 27 + (kMaxCredentialsLength + 2) / 3 * 4 + 3;

// Writes "Proxy-Authorization: Basic <base64 of user:password>\r\n" for the proxy's credentials, or nothing when it has none.
// Returns the length written (zero-terminated); 0 as well when it does not fit.
size_t FormatProxyAuthorization(const ProxyServer &proxy, char *out, size_t capacity);
