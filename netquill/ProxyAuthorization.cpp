#include "netquill/ProxyAuthorization.h"

#include <string.h>

#include "netquill/Url.h"

namespace {

const char kPrefix[] = "Proxy-Authorization: Basic ";
const size_t kPrefixLength = sizeof(kPrefix) - 1;

size_t Base64Length(size_t length)
{
    return (length + 2) / 3 * 4;
}

void Base64(const unsigned char *in, size_t length, char *out)
{
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (size_t i = 0; i < length; i += 3) {
        unsigned group = in[i] << 16;
        if (i + 1 < length)
            group |= in[i + 1] << 8;
        if (i + 2 < length)
            group |= in[i + 2];
        *out++ = kAlphabet[group >> 18];
        *out++ = kAlphabet[(group >> 12) & 63];
        *out++ = i + 1 < length ? kAlphabet[(group >> 6) & 63] : '=';
        *out++ = i + 2 < length ? kAlphabet[group & 63] : '=';
    }
}

size_t LineLength(size_t credentialsLength)
{
    return credentialsLength ? kPrefixLength + Base64Length(credentialsLength) + 2 : 0;
}

}  // namespace

size_t FormatProxyAuthorization(const ProxyServer &proxy, char *out, size_t capacity)
{
    size_t credentialsLength = strlen(proxy.credentials);
    size_t length = LineLength(credentialsLength);
    if (capacity == 0 || length + 1 > capacity)
        return 0;
    if (length) {
        memcpy(out, kPrefix, kPrefixLength);
        Base64(reinterpret_cast<const unsigned char *>(proxy.credentials), credentialsLength, out + kPrefixLength);
        memcpy(out + length - 2, "\r\n", 2);
    }
    out[length] = '\0';
    return length;
}
