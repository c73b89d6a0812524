// The request as it goes on the wire: the caller's extra header taken apart
// (its range recognised, its other lines checked) and the GET put together.
#pragma once

#include <stddef.h>

struct ProxyServer;
struct Url;

// Bytes first..last of the resource; last may be open.
struct ByteRange {
    bool present;
    unsigned long long first;
    bool lastKnown;
    unsigned long long last;
    bool totalKnown;  // the "/total" the plug-in appends to its range line
    unsigned long long total;
};

// A range such as the plug-in asks for a segment that is already complete:
// its first byte is one past its last.
inline bool IsEmptyRange(const ByteRange &range)
{
    return range.present && range.lastKnown && range.first == range.last + 1;
}

const size_t kMaxExtraHeaderLength = 8192;

struct ExtraHeader {
    ByteRange range;
    char lines[kMaxExtraHeaderLength + 1];  // the other lines, each ending in CR LF
    size_t length;
    // The value of the caller's If-Range line, blanks trimmed; a length of 0
    // when there is none.
    char ifRange[kMaxExtraHeaderLength + 1];
    size_t ifRangeLength;
    // The value is a weak entity tag (W/"..."), which If-Range may not carry:
    // servers answer such a request with the whole resource. Its line stays
    // out of `lines`; the answers' ETag are compared with it instead.
    bool ifRangeWeak;
};

// Reads the caller's extra header text (null for none). A range line, either
// the plug-in's "Range:bytes=a-b/total" or the standard "Range: bytes=a-b" or
// "bytes=a-", becomes `range`; any other line must be "Name: value" and is
// kept as given, but for an If-Range line with a weak entity tag. Lines may
// end in CR LF or LF. False for a stray CR, a control byte, a line that is no
// header field, a range we cannot ask for (several ranges, a suffix range,
// first past last + 1), a second range or If-Range line, an empty If-Range,
// or text that is too long.
bool TranslateExtraHeader(const char *text, ExtraHeader *out);

// Writes the GET for url: origin-form, or absolute-form to the proxy when
// there is one, with the proxy's authorization. `range` (first, and last
// when known) becomes "Range: bytes=a-b". Returns the length written, 0 when
// it does not fit.
size_t BuildRequest(const Url &url, const ProxyServer *proxy, const ByteRange *range, const char *extraLines,
                    size_t extraLength, char *out, size_t capacity);
