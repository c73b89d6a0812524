#include "store/ProxyPassword.h"

#include <string.h>

namespace {

// Where the user part's password starts (after its first ":") and where the
// user part ends (its last "@"); false when the text has no user part with
// a ":".
bool FindPassword(const char *text, size_t *start, size_t *end)
{
    const char *at = strrchr(text, '@');
    if (!at)
        return false;
    // After the blanks and the "http://" that ParseProxy allows before it.
    const char *user = text;
    while (*user == ' ' || *user == '\t')
        ++user;
    if (_strnicmp(user, "http://", 7) == 0)
        user += 7;
    if (user > at)
        return false;
    const char *colon = static_cast<const char *>(memchr(user, ':', at - user));
    if (!colon)
        return false;
    *start = colon + 1 - text;
    *end = at - text;
    return true;
}

void CopyText(const char *text, char *out)
{
    size_t length = strnlen(text, kTextSize - 1);
    memcpy(out, text, length);
    out[length] = '\0';
}

}  // namespace

bool SplitProxyPassword(const char *proxy, char *clearOut, char *passwordOut)
{
    CopyText(proxy, clearOut);
    passwordOut[0] = '\0';
    size_t start, end;
    if (!FindPassword(clearOut, &start, &end) || start == end)
        return false;
    memcpy(passwordOut, clearOut + start, end - start);
    passwordOut[end - start] = '\0';
    memmove(clearOut + start, clearOut + end, strlen(clearOut + end) + 1);
    return true;
}

bool JoinProxyPassword(const char *clear, const char *password, char *proxyOut)
{
    CopyText(clear, proxyOut);
    size_t start, end;
    size_t clearLength = strlen(proxyOut), passwordLength = strlen(password);
    if (!FindPassword(proxyOut, &start, &end) || clearLength + passwordLength >= static_cast<size_t>(kTextSize))
        return false;
    memmove(proxyOut + start + passwordLength, proxyOut + start, clearLength - start + 1);
    memcpy(proxyOut + start, password, passwordLength);
    return true;
}
