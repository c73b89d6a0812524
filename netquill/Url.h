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

// The proxy text as the host gives it: "host:port", "http://host:port" (a
// trailing "/" allowed). Empty, blank or null means a direct connection, in
// which case *useProxyOut is false. False when the text does not parse.
bool ParseProxy(const char *text, Url *proxyOut, bool *useProxyOut);

// The URL that a Location value names, taken against the URL that answered:
// absolute, scheme-relative ("//host/..."), absolute path or relative path.
bool ResolveLocation(const Url &base, const char *location, size_t length, Url *urlOut);

// "host", "host:port" or "[v6]:port" (the port only when it is not the
// scheme's default), as the
// Host field and absolute-form request targets need it. Returns the length
// written (zero-terminated), 0 when it does not fit.
size_t FormatAuthority(const Url &url, char *out, size_t capacity);
