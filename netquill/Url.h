// Where a request goes: an http:// or https:// URL taken apart, the proxy text, and the
// target of a redirect.
#pragma once

#include <stddef.h>

const size_t kMaxHostLength = 255;
const size_t kMaxTargetLength = 4095;

struct Url {
    char host[kMaxHostLength + 1];  // an IPv6 literal without its brackets
    bool ipv6Literal;
    bool secure;  // https: TLS over the connection
    unsigned short port;
    char target[kMaxTargetLength + 1];  // path and query; at least "/"
};

// Takes apart "http[s]://host[:port][/path][?query]". The fragment is dropped and
// bytes that may not stand in a request line (controls, blanks, non-ASCII) are
// percent-encoded, so no URL can smuggle a line break into the request. False
// when the text is not such a URL.
bool ParseUrl(const char *text, size_t length, Url *urlOut);

const size_t kMaxCredentialsLength = 255;

// A proxy: where it listens, and what it is told of the user.
struct ProxyServer {
    Url address;
    // "user:password", percent-decoded, for Proxy-Authorization; empty
    // when the proxy text names no user.
    char credentials[kMaxCredentialsLength + 1];
};

// The proxy text as the host gives it: "host:port" or "http://host:port" (a
// trailing "/" allowed), either with "user:password@" before the host, whose
// parts may be percent-encoded (a "@" or ":" in a password as %40 or %3A).
// Empty, blank or null means a direct connection, in which case
// *useProxyOut is false. False when the text does not parse, and for any
// scheme other than http://, with or without a user.
bool ParseProxy(const char *text, ProxyServer *proxyOut, bool *useProxyOut);

// The URL that a Location value names, taken against the URL that answered:
// absolute, scheme-relative ("//host/..."), absolute path or relative path,
// its dot segments removed (RFC 3986 5.2). False for a scheme other than
// http and https, and for one without "//".
bool ResolveLocation(const Url &base, const char *location, size_t length, Url *urlOut);

// "host", "host:port" or "[v6]:port" (the port only when it is not the
// scheme's default), as the
// Host field and absolute-form request targets need it. Returns the length
// written (zero-terminated), 0 when it does not fit.
size_t FormatAuthority(const Url &url, char *out, size_t capacity);
