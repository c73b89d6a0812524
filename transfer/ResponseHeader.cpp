#include "transfer/ResponseHeader.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "util/TextSearch.h"

namespace {

// Reads a decimal number as atoi does (blanks, sign, digits), saturating at
// LLONG_MAX (either sign) instead of overflowing.
long long ReadNumber(const char *text)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+')
        ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        int digit = *text - '0';
        value = value > (LLONG_MAX - digit) / 10 ? LLONG_MAX : value * 10 + digit;
    }
    return negative ? -value : value;
}

// The header line value after key (key includes the colon), trimmed.
bool HeaderValue(const char *header, const char *key, char *out, int outSize)
{
    size_t keyLength = strlen(key);
    for (const char *line = header; line && *line;) {
        if (StartsWithNoCase(line, key)) {
            const char *value = line + keyLength;
            while (*value == ' ' || *value == '\t')
                ++value;
            const char *end = value;
            while (*end && *end != '\r' && *end != '\n')
                ++end;
            while (end > value && (end[-1] == ' ' || end[-1] == '\t'))
                --end;
            snprintf(out, outSize, "%.*s", static_cast<int>(end - value), value);
            return out[0] != '\0';
        }
        line = strchr(line, '\n');
        if (line)
            ++line;
    }
    return false;
}

}  // namespace

ULONGLONG ParseContentLength(const char *header)
{
    const char *key = FindNoCase(header, "Content-Length:");
    if (!key)
        return 0;
    long long value = ReadNumber(key + 15);
    if (value <= 0 || value == LLONG_MAX)
        return 0;
    return static_cast<ULONGLONG>(value);
}

int ParseMinorVersion(const char *header)
{
    const char *key = FindNoCase(header, "HTTP/1.");
    if (!key)
        return 0;
    long long minor = ReadNumber(key + 7);
    return minor > 1000 ? 1000 : (minor < -1000 ? -1000 : static_cast<int>(minor));
}

void ParseValidator(const char *header, char *out, int outSize)
{
    char value[240];
    if (HeaderValue(header, "ETag:", value, sizeof(value)))
        snprintf(out, outSize, "ETag: %s", value);
    else if (HeaderValue(header, "Last-Modified:", value, sizeof(value)))
        snprintf(out, outSize, "Last-Modified: %s", value);
    else
        out[0] = '\0';
}
