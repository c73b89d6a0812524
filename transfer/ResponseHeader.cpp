#include "transfer/ResponseHeader.h"

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "util/AsciiText.h"
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

// A field value that is a decimal number and nothing else, blanks around it
// allowed, as the HTTP component takes it; saturates instead of overflowing.
bool ReadFieldNumber(const char *text, long long *value)
{
    while (*text == ' ' || *text == '\t')
        ++text;
    const char *digits = text;
    *value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        int digit = *text - '0';
        *value = *value > (LLONG_MAX - digit) / 10 ? LLONG_MAX : *value * 10 + digit;
    }
    if (text == digits)
        return false;
    while (*text == ' ' || *text == '\t')
        ++text;
    return *text == '\r' || *text == '\n' || *text == '\0';
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
    // The field lines after the status line; a name is all of the text before the colon.
    const char *line = strchr(header, '\n');
    long long length = -1;
    for (; line && *++line && *line != '\r' && *line != '\n'; line = strchr(line, '\n')) {
        const char *colon = line;
        while (*colon && *colon != ':' && *colon != '\n')
            ++colon;
        if (*colon != ':' || !EqualsNoCase(line, colon, "content-length"))
            continue;
        long long value;
        if (!ReadFieldNumber(colon + 1, &value) || (length >= 0 && value != length))
            return 0;
        length = value;
    }
    if (length <= 0 || length == LLONG_MAX)
        return 0;
    return static_cast<ULONGLONG>(length);
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
    char etag[240];
    char date[240];
    bool hasEtag = HeaderValue(header, "ETag:", etag, sizeof(etag));
    bool hasDate = HeaderValue(header, "Last-Modified:", date, sizeof(date));
    bool weakEtag = hasEtag && strncmp(etag, "W/", 2) == 0;
    if (hasEtag && !(weakEtag && hasDate))
        snprintf(out, outSize, "ETag: %s", etag);
    else if (hasDate)
        snprintf(out, outSize, "Last-Modified: %s", date);
    else
        out[0] = '\0';
}
