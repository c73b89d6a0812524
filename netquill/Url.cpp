#include "netquill/Url.h"

#include <string.h>

#include "util/AsciiText.h"

namespace {

const char kHttpScheme[] = "http://";
const size_t kHttpSchemeLength = sizeof(kHttpScheme) - 1;
const char kHttpsScheme[] = "https://";
const size_t kHttpsSchemeLength = sizeof(kHttpsScheme) - 1;

unsigned short DefaultPort(bool secure)
{
    return secure ? 443 : 80;
}

bool StartsWithNoCase(const char *text, const char *end, const char *prefix)
{
    for (; *prefix; ++prefix, ++text) {
        if (text == end)
            return false;
        if (LowerAscii(*text) != *prefix)
            return false;
    }
    return true;
}

bool IsHostNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

bool IsIpv6LiteralChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' || c == '.';
}

// host[:port] or [v6][:port], the whole of [p, end).
bool ParseAuthority(const char *p, const char *end, Url *url)
{
    const char *hostBegin = p;
    const char *hostEnd;
    url->ipv6Literal = false;
    if (p < end && *p == '[') {
        hostBegin = ++p;
        while (p < end && *p != ']') {
            if (!IsIpv6LiteralChar(*p))
                return false;
            ++p;
        }
        if (p == end)
            return false;
        hostEnd = p++;
        url->ipv6Literal = true;
    } else {
        while (p < end && *p != ':') {
            if (!IsHostNameChar(*p))
                return false;
            ++p;
        }
        hostEnd = p;
    }
    size_t hostLength = static_cast<size_t>(hostEnd - hostBegin);
    if (hostLength == 0 || hostLength > kMaxHostLength)
        return false;
    memcpy(url->host, hostBegin, hostLength);
    url->host[hostLength] = '\0';

    url->port = DefaultPort(url->secure);
    if (p == end)
        return true;
    if (*p != ':')
        return false;
    ++p;
    // "host:" with no digits keeps the default port, as RFC 3986 allows.
    if (p == end)
        return true;
    unsigned long port = 0;
    for (int digits = 0; p < end; ++p, ++digits) {
        if (*p < '0' || *p > '9' || digits == 5)
            return false;
        port = port * 10 + static_cast<unsigned long>(*p - '0');
    }
    if (port == 0 || port > 65535)
        return false;
    url->port = static_cast<unsigned short>(port);
    return true;
}

// Copies path and query into the target, up to a fragment, percent-encoding
// what may not appear in a request line.
bool CopyTarget(const char *p, const char *end, char *out, size_t capacity)
{
    static const char kHex[] = "0123456789ABCDEF";
    size_t n = 0;
    if (p == end || *p != '/')
        out[n++] = '/';
    for (; p < end && *p != '#'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c <= 0x20 || c >= 0x7F) {
            if (n + 3 >= capacity)
                return false;
            out[n++] = '%';
            out[n++] = kHex[c >> 4];
            out[n++] = kHex[c & 15];
        } else {
            if (n + 1 >= capacity)
                return false;
            out[n++] = static_cast<char>(c);
        }
    }
    out[n] = '\0';
    return true;
}

// Whether [p, end) starts with a URL scheme and "://" (RFC 3986: a letter,
// then letters, digits, "+", "-" or ".").
bool StartsWithScheme(const char *p, const char *end)
{
    auto letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    if (p == end || !letter(*p))
        return false;
    while (p < end && (letter(*p) || (*p >= '0' && *p <= '9') || *p == '+' || *p == '-' || *p == '.'))
        ++p;
    return end - p >= 3 && p[0] == ':' && p[1] == '/' && p[2] == '/';
}

void TrimBlanks(const char **begin, const char **end)
{
    while (*begin < *end && (**begin == ' ' || **begin == '\t'))
        ++*begin;
    while (*end > *begin && ((*end)[-1] == ' ' || (*end)[-1] == '\t'))
        --*end;
}

// [p, end) with each %XX replaced by its byte; false for a stray "%", a
// control byte, or text too long for capacity.
bool PercentDecode(const char *p, const char *end, char *out, size_t capacity)
{
    size_t n = 0;
    for (; p < end; ++p) {
        int byte = static_cast<unsigned char>(*p);
        if (byte == '%') {
            if (end - p < 3 || HexValue(p[1]) < 0 || HexValue(p[2]) < 0)
                return false;
            byte = HexValue(p[1]) * 16 + HexValue(p[2]);
            p += 2;
        }
        if (byte < 0x20 || byte == 0x7F || n + 1 >= capacity)
            return false;
        out[n++] = static_cast<char>(byte);
    }
    out[n] = '\0';
    return true;
}

// RFC 3986 3.1: ALPHA *( ALPHA / DIGIT / "+" / "-" / "." ) ":" opens [p, end).
bool HasScheme(const char *p, const char *end)
{
    if (p == end || !((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z')))
        return false;
    for (++p; p < end; ++p) {
        char c = *p;
        if (c == ':')
            return true;
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
              c == '.'))
            return false;
    }
    return false;
}

// RFC 3986 5.2.4 on the path of a target (up to its query), in place:
// "." segments go, ".." takes the segment before it along, and nothing
// climbs above the root.
void RemoveDotSegments(char *target)
{
    char input[kMaxTargetLength + 1];
    size_t pathLength = strcspn(target, "?");
    memcpy(input, target, pathLength);
    input[pathLength] = '\0';
    char *in = input;
    size_t n = 0;  // the output so far: target[0, n), never longer than what was read
    while (*in) {
        if (strncmp(in, "../", 3) == 0) {
            in += 3;
        } else if (strncmp(in, "./", 2) == 0 || strncmp(in, "/./", 3) == 0) {
            in += 2;
        } else if (strcmp(in, "/.") == 0) {
            in[1] = '\0';
        } else if (strncmp(in, "/../", 4) == 0 || strcmp(in, "/..") == 0) {
            if (in[3] == '/')
                in += 3;
            else
                in[1] = '\0';
            while (n > 0 && target[n - 1] != '/')
                --n;
            if (n > 0)
                --n;
        } else if (strcmp(in, ".") == 0 || strcmp(in, "..") == 0) {
            break;
        } else {
            do
                target[n++] = *in++;
            while (*in && *in != '/');
        }
    }
    memmove(target + n, target + pathLength, strlen(target + pathLength) + 1);
}

// The reference taken against base, as it stands.
bool JoinReference(const Url &base, const char *location, size_t length, Url *urlOut)
{
    const char *p = location;
    const char *end = location + length;
    TrimBlanks(&p, &end);
    if (HasScheme(p, end)) {
        // Only http and https, and only with an authority: "http:x" is no URL
        // a download may follow, and no other scheme is one.
        if (!StartsWithNoCase(p, end, kHttpScheme) && !StartsWithNoCase(p, end, kHttpsScheme))
            return false;
        return ParseUrl(p, static_cast<size_t>(end - p), urlOut);
    }
    if (end - p >= 2 && p[0] == '/' && p[1] == '/') {
        // Keeps the scheme of the URL that answered.
        const char *scheme = base.secure ? kHttpsScheme : kHttpScheme;
        size_t schemeLength = base.secure ? kHttpsSchemeLength : kHttpSchemeLength;
        char absolute[kHttpsSchemeLength + kMaxHostLength + kMaxTargetLength + 16];
        size_t rest = static_cast<size_t>(end - p) - 2;
        if (rest + schemeLength >= sizeof(absolute))
            return false;
        memcpy(absolute, scheme, schemeLength);
        memcpy(absolute + schemeLength, p + 2, rest);
        return ParseUrl(absolute, schemeLength + rest, urlOut);
    }

    strcpy(urlOut->host, base.host);
    urlOut->ipv6Literal = base.ipv6Literal;
    urlOut->secure = base.secure;
    urlOut->port = base.port;
    // An empty reference or a fragment alone names the base itself; the fragment is not sent.
    if (p == end || *p == '#') {
        strcpy(urlOut->target, base.target);
        return true;
    }
    if (*p == '/')
        return CopyTarget(p, end, urlOut->target, sizeof(urlOut->target));

    // A query alone replaces only the base's query; a relative path replaces
    // the last segment of the base path.
    char joined[kMaxTargetLength + 1];
    size_t directory = strcspn(base.target, "?");
    while (*p != '?' && directory > 0 && base.target[directory - 1] != '/')
        --directory;
    size_t rest = static_cast<size_t>(end - p);
    if (directory + rest >= sizeof(joined))
        return false;
    memcpy(joined, base.target, directory);
    memcpy(joined + directory, p, rest);
    return CopyTarget(joined, joined + directory + rest, urlOut->target, sizeof(urlOut->target)) ;
}

}  // namespace

bool ParseUrl(const char *text, size_t length, Url *urlOut)
{
    if (!text)
        return false;
    const char *p = text;
    const char *end = text + length;
    TrimBlanks(&p, &end);
    if (StartsWithNoCase(p, end, kHttpScheme)) {
        urlOut->secure = false;
        p += kHttpSchemeLength;
    } else if (StartsWithNoCase(p, end, kHttpsScheme)) {
        urlOut->secure = true;
        p += kHttpsSchemeLength;
    } else {
        return false;
    }
    const char *authorityEnd = p;
    while (authorityEnd < end && *authorityEnd != '/' && *authorityEnd != '?' && *authorityEnd != '#')
        ++authorityEnd;
    return ParseAuthority(p, authorityEnd, urlOut) &&
           CopyTarget(authorityEnd, end, urlOut->target, sizeof(urlOut->target));
}

bool ParseProxy(const char *text, ProxyServer *proxyOut, bool *useProxyOut)
{
    *useProxyOut = false;
    proxyOut->credentials[0] = '\0';
    if (!text)
        return true;
    const char *p = text;
    const char *end = text + strlen(text);
    TrimBlanks(&p, &end);
    if (p == end)
        return true;
    if (StartsWithNoCase(p, end, kHttpScheme))
        p += kHttpSchemeLength;
    // Only http:// is spoken to a proxy: any other scheme is refused, also
    // where a user part would hide it ("https://user:pw@proxy:8443" would
    // send "https://user" and the password in clear to a port meant for TLS).
    if (StartsWithScheme(p, end))
        return false;
    if (end > p && end[-1] == '/')
        --end;
    // The last "@" ends the user part: the host has none.
    const char *at = end;
    while (at > p && at[-1] != '@')
        --at;
    if (at > p) {
        if (!PercentDecode(p, at - 1, proxyOut->credentials, sizeof(proxyOut->credentials)) ||
            !strchr(proxyOut->credentials, ':'))
            return false;
        p = at;
    }
    // The proxy itself is spoken to in plain HTTP; https goes through it in a tunnel.
    proxyOut->address.secure = false;
    if (!ParseAuthority(p, end, &proxyOut->address))
        return false;
    strcpy(proxyOut->address.target, "/");
    *useProxyOut = true;
    return true;
}

bool ResolveLocation(const Url &base, const char *location, size_t length, Url *urlOut)
{
    if (!JoinReference(base, location, length, urlOut))
        return false;
    RemoveDotSegments(urlOut->target);
    return true;
}

size_t FormatAuthority(const Url &url, char *out, size_t capacity)
{
    size_t hostLength = strlen(url.host);
    size_t needed = hostLength + (url.ipv6Literal ? 2 : 0) + 7;
    if (needed > capacity)
        return 0;
    size_t n = 0;
    if (url.ipv6Literal)
        out[n++] = '[';
    memcpy(out + n, url.host, hostLength);
    n += hostLength;
    if (url.ipv6Literal)
        out[n++] = ']';
    if (url.port != DefaultPort(url.secure)) {
        out[n++] = ':';
        char digits[6];
        int count = 0;
        for (unsigned port = url.port; port; port /= 10)
            digits[count++] = static_cast<char>('0' + port % 10);
        while (count)
            out[n++] = digits[--count];
    }
    out[n] = '\0';
    return n;
}
