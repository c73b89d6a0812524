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

private:
    BodyKind kind_;
    unsigned long long remaining_;
    ChunkedDecoder chunked_;
};
