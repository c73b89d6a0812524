#include "netquill/RequestText.h"
#include "util/AsciiText.h"

#include <string.h>

#include "netquill/HttpResponseParser.h"
#include "netquill/ProxyAuthorization.h"
#include "netquill/Url.h"

namespace {

const char kUserAgent[] = "Ravlix/1.0";

bool IsTokenChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && strchr("!#$%&'*+-.^_`|~", c) != nullptr);
}

void SkipBlanks(const char **p, const char *end)
{
    while (*p < end && (**p == ' ' || **p == '\t'))
        ++*p;
}

bool ReadNumber(const char **p, const char *end, unsigned long long *value)
{
    const char *start = *p;
    unsigned long long v = 0;
    while (*p < end && **p >= '0' && **p <= '9') {
        if (v > (~0ULL - 9) / 10)
            return false;
        v = v * 10 + static_cast<unsigned>(**p - '0');
        ++*p;
    }
    *value = v;
    return *p != start;
}

// The value of a Range field: "bytes=a-", "bytes=a-b" or "bytes=a-b/total".
bool ParseRangeValue(const char *p, const char *end, ByteRange *range)
{
    const char *unit = p;
    while (p < end && *p != '=' && *p != ' ' && *p != '\t')
        ++p;
    if (!EqualsNoCase(unit, p, "bytes"))
        return false;
    SkipBlanks(&p, end);
    if (p == end || *p != '=')
        return false;
    ++p;
    SkipBlanks(&p, end);
    if (!ReadNumber(&p, end, &range->first) || p == end || *p != '-')
        return false;
    ++p;
    range->lastKnown = ReadNumber(&p, end, &range->last);
    range->totalKnown = false;
    if (p < end && *p == '/') {
        ++p;
        if (p < end && *p == '*')
            ++p;
        else if (!ReadNumber(&p, end, &range->total))
            return false;
        else
            range->totalKnown = true;
    }
    SkipBlanks(&p, end);
    if (p != end)
        return false;
    if (range->lastKnown && range->first > range->last + 1)
        return false;
    range->present = true;
    return true;
}

// One line without its line end. Range lines fill out->range; others are appended.
bool TakeLine(const char *line, const char *end, ExtraHeader *out)
{
    for (const char *p = line; p < end; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return false;
    }
    const char *colon = line;
    while (colon < end && IsTokenChar(*colon))
        ++colon;
    if (colon == line || colon == end || *colon != ':')
        return false;
    if (EqualsNoCase(line, colon, "range")) {
        if (out->range.present)
            return false;
        const char *value = colon + 1;
        SkipBlanks(&value, end);
        return ParseRangeValue(value, end, &out->range);
    }
    size_t length = static_cast<size_t>(end - line);
    if (out->length + length + 2 > kMaxExtraHeaderLength)
        return false;
    if (EqualsNoCase(line, colon, "if-range")) {
        const char *value = colon + 1;
        const char *valueEnd = end;
        SkipBlanks(&value, end);
        while (valueEnd > value && (valueEnd[-1] == ' ' || valueEnd[-1] == '\t'))
            --valueEnd;
        if (out->ifRangeLength || value == valueEnd)
            return false;
        out->ifRangeLength = static_cast<size_t>(valueEnd - value);
        memcpy(out->ifRange, value, out->ifRangeLength);
        out->ifRange[out->ifRangeLength] = '\0';
        out->ifRangeWeak = IsWeakEntityTag(value, out->ifRangeLength);
        if (out->ifRangeWeak)
            return true;
    }
    memcpy(out->lines + out->length, line, length);
    out->length += length;
    out->lines[out->length++] = '\r';
    out->lines[out->length++] = '\n';
    out->lines[out->length] = '\0';
    return true;
}

class Writer {
public:
    Writer(char *out, size_t capacity) : out_(out), capacity_(capacity), length_(0), full_(false) {}

    void Append(const char *text, size_t length)
    {
        if (full_ || length >= capacity_ - length_) {
            full_ = true;
            return;
        }
        memcpy(out_ + length_, text, length);
        length_ += length;
        out_[length_] = '\0';
    }
    void Append(const char *text) { Append(text, strlen(text)); }
    void AppendNumber(unsigned long long value)
    {
        char digits[20];
        size_t count = 0;
        do {
            digits[count++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value);
        char text[20];
        for (size_t i = 0; i < count; ++i)
            text[i] = digits[count - 1 - i];
        Append(text, count);
    }
    size_t Finish() const { return full_ ? 0 : length_; }

private:
    char *out_;
    size_t capacity_;
    size_t length_;
    bool full_;
};

}  // namespace

bool TranslateExtraHeader(const char *text, ExtraHeader *out)
{
    memset(&out->range, 0, sizeof(out->range));
    out->length = 0;
    out->lines[0] = '\0';
    out->ifRange[0] = '\0';
    out->ifRangeLength = 0;
    out->ifRangeWeak = false;
    if (!text)
        return true;
    const char *p = text;
    while (*p) {
        const char *lineEnd = strchr(p, '\n');
        const char *next = lineEnd ? lineEnd + 1 : p + strlen(p);
        if (!lineEnd)
            lineEnd = next;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        if (lineEnd > p && !TakeLine(p, lineEnd, out))
            return false;
        p = next;
    }
    return true;
}

size_t BuildRequest(const Url &url, const ProxyServer *proxy, const ByteRange *range, const char *extraLines,
                    size_t extraLength, char *out, size_t capacity)
{
    char authority[kMaxHostLength + 16];
    if (!FormatAuthority(url, authority, sizeof(authority)) || capacity == 0)
        return 0;
    Writer w(out, capacity);
    w.Append("GET ");
    if (proxy) {
        w.Append("http://");
        w.Append(authority);
    }
    w.Append(url.target);
    w.Append(" HTTP/1.1\r\nHost: ");
    w.Append(authority);
    w.Append("\r\nUser-Agent: ");
    w.Append(kUserAgent);
    w.Append("\r\nAccept: */*\r\n");
    if (proxy) {
        char authorization[kMaxProxyAuthorizationLength];
        if (FormatProxyAuthorization(*proxy, authorization, sizeof(authorization)))
            w.Append(authorization);
    }
    if (range && range->present) {
        w.Append("Range: bytes=");
        w.AppendNumber(range->first);
        w.Append("-");
        if (range->lastKnown)
            w.AppendNumber(range->last);
        w.Append("\r\n");
    }
    w.Append(extraLines, extraLength);
    w.Append("Connection: close\r\n\r\n");
    return w.Finish();
}
