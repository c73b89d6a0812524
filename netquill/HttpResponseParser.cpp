#include "netquill/HttpResponseParser.h"
#include "util/AsciiText.h"

#include <string.h>

namespace {

void Trim(const char **begin, const char **end)
{
    while (*begin < *end && (**begin == ' ' || **begin == '\t'))
        ++*begin;
    while (*end > *begin && ((*end)[-1] == ' ' || (*end)[-1] == '\t'))
        --*end;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool ReadNumber(const char **p, const char *end, unsigned long long *value)
{
    const char *start = *p;
    unsigned long long v = 0;
    while (*p < end && IsDigit(**p)) {
        if (v > (~0ULL - 9) / 10)
            return false;
        v = v * 10 + static_cast<unsigned>(**p - '0');
        ++*p;
    }
    *value = v;
    return *p != start;
}

// The line at p, without its CR LF or LF; *next is where the following one starts.
const char *LineEnd(const char *p, const char *end, const char **next)
{
    const char *lf = static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
    if (!lf) {
        *next = end;
        return end;
    }
    *next = lf + 1;
    return (lf > p && lf[-1] == '\r') ? lf - 1 : lf;
}

bool ParseStatusLine(const char *p, const char *end, ResponseHead *out)
{
    if (end - p < 12 || memcmp(p, "HTTP/1.", 7) != 0 || !IsDigit(p[7]) || p[8] != ' ')
        return false;
    out->minorVersion = p[7] - '0';
    if (!IsDigit(p[9]) || !IsDigit(p[10]) || !IsDigit(p[11]))
        return false;
    out->status = (p[9] - '0') * 100 + (p[10] - '0') * 10 + (p[11] - '0');
    return end - p == 12 || p[12] == ' ' || p[12] == '\t';
}

bool LastCodingIsChunked(const char *value, const char *end)
{
    const char *coding = value;
    for (const char *p = value; p < end; ++p) {
        if (*p == ',')
            coding = p + 1;
    }
    Trim(&coding, &end);
    return EqualsNoCase(coding, end, "chunked");
}

}  // namespace

bool SameFieldValue(const FieldValue &a, const FieldValue &b)
{
    if (!a.text || !b.text)
        return !a.text && !b.text;
    return a.length == b.length && memcmp(a.text, b.text, a.length) == 0;
}

bool IsWeakEntityTag(const char *text, size_t length)
{
    return length >= 3 && text[0] == 'W' && text[1] == '/' && text[2] == '"';
}

bool WeakEntityTagsMatch(const FieldValue &a, const FieldValue &b)
{
    if (!a.text || !b.text)
        return false;
    FieldValue opaque[2] = {a, b};
    for (FieldValue &tag : opaque) {
        if (IsWeakEntityTag(tag.text, tag.length)) {
            tag.text += 2;
            tag.length -= 2;
        }
    }
    return SameFieldValue(opaque[0], opaque[1]);
}

size_t FindHeaderEnd(const char *data, size_t size, size_t *scanned)
{
    size_t i = *scanned;
    for (; i < size; ++i) {
        if (data[i] != '\n')
            continue;
        if (i + 1 < size && data[i + 1] == '\n')
            return i + 2;
        if (i + 2 < size && data[i + 1] == '\r' && data[i + 2] == '\n')
            return i + 3;
        if (i + 2 >= size)
            break;
    }
    // Resume at the last LF that might still begin the empty line.
    *scanned = i < size ? i : size;
    return 0;
}

bool ParseResponseHead(const char *text, size_t length, ResponseHead *out)
{
    const char *end = text + length;
    if (memchr(text, '\0', length))
        return false;
    memset(out, 0, sizeof(*out));
    const char *next;
    const char *lineEnd = LineEnd(text, end, &next);
    if (!ParseStatusLine(text, lineEnd, out))
        return false;

    bool haveLength = false;
    bool chunked = false;
    bool transferCoded = false;
    for (const char *line = next; line < end; line = next) {
        lineEnd = LineEnd(line, end, &next);
        if (lineEnd == line)
            break;
        // A folded continuation line belongs to a field none of ours uses.
        if (*line == ' ' || *line == '\t')
            continue;
        const char *colon = static_cast<const char *>(memchr(line, ':', static_cast<size_t>(lineEnd - line)));
        if (!colon || colon == line)
            return false;
        const char *value = colon + 1;
        const char *valueEnd = lineEnd;
        Trim(&value, &valueEnd);
        if (EqualsNoCase(line, colon, "content-length")) {
            unsigned long long n;
            const char *p = value;
            if (!ReadNumber(&p, valueEnd, &n) || p != valueEnd)
                return false;
            if (haveLength && n != out->contentLength)
                return false;
            haveLength = true;
            out->contentLength = n;
        } else if (EqualsNoCase(line, colon, "transfer-encoding")) {
            transferCoded = true;
            chunked = LastCodingIsChunked(value, valueEnd);
        } else if (EqualsNoCase(line, colon, "content-range")) {
            // "bytes */total" (with a 416) names no range: the answer is judged without one.
            out->hasContentRange =
                ParseContentRange(value, static_cast<size_t>(valueEnd - value), &out->contentRange);
        } else if (EqualsNoCase(line, colon, "etag")) {
            out->etag.text = value;
            out->etag.length = static_cast<size_t>(valueEnd - value);
        } else if (EqualsNoCase(line, colon, "last-modified")) {
            out->lastModified.text = value;
            out->lastModified.length = static_cast<size_t>(valueEnd - value);
        } else if (EqualsNoCase(line, colon, "location")) {
            out->location = value;
            out->locationLength = static_cast<size_t>(valueEnd - value);
        }
    }

    if ((out->status >= 100 && out->status < 200) || out->status == 204 || out->status == 304)
        out->body = BodyNone;
    else if (transferCoded)
        out->body = chunked ? BodyChunked : BodyUntilClose;
    else if (haveLength)
        out->body = BodyLength;
    else
        out->body = BodyUntilClose;
    return true;
}

bool ParseContentRange(const char *value, size_t length, ContentRange *out)
{
    const char *p = value;
    const char *end = value + length;
    Trim(&p, &end);
    if (end - p < 6 || !EqualsNoCase(p, p + 5, "bytes") || (p[5] != ' ' && p[5] != '\t'))
        return false;
    p += 6;
    while (p < end && (*p == ' ' || *p == '\t'))
        ++p;
    if (!ReadNumber(&p, end, &out->first) || p == end || *p != '-')
        return false;
    ++p;
    if (!ReadNumber(&p, end, &out->last) || p == end || *p != '/' || out->last < out->first)
        return false;
    ++p;
    out->totalKnown = false;
    if (p < end && *p == '*') {
        ++p;
    } else {
        if (!ReadNumber(&p, end, &out->total) || out->last >= out->total)
            return false;
        out->totalKnown = true;
    }
    return p == end;
}
