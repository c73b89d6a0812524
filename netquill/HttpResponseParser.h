// Reading an HTTP/1.x response header: where it ends, its status line, and
// the fields that frame the body or decide whether the answer is the one asked for.
#pragma once

#include <stddef.h>

// Longer headers fail the request: no server we talk to needs more, and the
// limit bounds what a hostile one can make us hold.
const size_t kMaxHeaderLength = 64 * 1024;

enum BodyKind {
    BodyNone,        // 1xx, 204, 304
    BodyLength,      // Content-Length
    BodyChunked,     // Transfer-Encoding ending in chunked
    BodyUntilClose,  // neither: the body ends with the connection
};

struct ContentRange {
    unsigned long long first;
    unsigned long long last;
    bool totalKnown;  // false for "/*"
    unsigned long long total;
};

// A field's value inside the header text, blanks trimmed; text is null when
// the field is absent.
struct FieldValue {
    const char *text;
    size_t length;
};

bool SameFieldValue(const FieldValue &a, const FieldValue &b);

// W/"...": an entity tag that names the resource's meaning, not its bytes.
bool IsWeakEntityTag(const char *text, size_t length);
// The weak comparison of two entity tags: the same opaque tag, whether
// either is weak or not. False when either is absent.
bool WeakEntityTagsMatch(const FieldValue &a, const FieldValue &b);

struct ResponseHead {
    int minorVersion;  // HTTP/1.minor
    int status;
    BodyKind body;
    unsigned long long contentLength;  // for BodyLength
    bool hasContentRange;  // a Content-Range that names a range
    ContentRange contentRange;
    const char *location;  // into the header text; null when there is no Location field
    size_t locationLength;
    // Which version of the resource the answer carries.
    FieldValue etag;
    FieldValue lastModified;
};

// The length of the header at the start of data, through the empty line that
// ends it (CR LF CR LF, or bare LFs), or 0 while it is incomplete. *scanned
// carries where the search got to between calls on a growing buffer; start it at 0.
size_t FindHeaderEnd(const char *data, size_t size, size_t *scanned);

// Parses a complete header as FindHeaderEnd delimited it. False when it is
// malformed: no "HTTP/1.x nnn" status line, a NUL byte, a line that is no
// field, or conflicting Content-Length values.
bool ParseResponseHead(const char *text, size_t length, ResponseHead *out);

// "bytes first-last/total" or "bytes first-last/*".
bool ParseContentRange(const char *value, size_t length, ContentRange *out);
