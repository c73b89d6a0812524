// Cuts the body of a response out of what its connection delivers, by the
// framing its header named. Like the chunked decoder it hands out spans of
// the input and never copies.
#pragma once

#include <stddef.h>

#include "netquill/ChunkedDecoder.h"
#include "netquill/HttpResponseParser.h"

class BodyFraming {
public:
    BodyFraming() : kind_(BodyNone), remaining_(0) {}

    void Start(BodyKind kind, unsigned long long contentLength);

    // As ChunkedDecoder::Next, for every kind of framing. Bytes after the end
    // of a body are left unconsumed.
    DecodeResult Next(const char **cursor, const char *end, const char **data, size_t *size);

    // Whether the end of the connection is the proper end of the body.
    bool EndsWithConnection() const { return kind_ == BodyUntilClose; }

    // How many of the next bytes the connection delivers are body, up to
    // capacity, where they can be read straight into a buffer of that size
    // and handed out by Next unchanged: 0 for a chunked body, whose framing
    // lies between its bytes, and once the body is complete.
    size_t PlainRun(size_t capacity) const;

private:
    BodyKind kind_;
    unsigned long long remaining_;
    ChunkedDecoder chunked_;
};
