// Where a download connects: the host and port of its URL, or of its proxy.
#pragma once

struct ServerAddress {
    char host[260];  // a name or an address; an IPv6 address without its brackets
    char port[8];    // digits
};

// "scheme://[user@]host[:port]/...": the port defaults to 443 for https,
// else 80. False for a text without "://" or host, or a host too long.
bool ServerOfUrl(const char *url, ServerAddress *server);

// "[user:password@]host:port", as a proxy is given (port 80 without one).
bool ServerOfProxy(const char *proxy, ServerAddress *server);
