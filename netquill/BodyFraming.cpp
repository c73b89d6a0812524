#include "netquill/BodyFraming.h"

void BodyFraming::Start(BodyKind kind, unsigned long long contentLength)
{
    kind_ = kind;
    remaining_ = contentLength;
    chunked_.Reset();
}

size_t BodyFraming::PlainRun(size_t capacity) const
{
    if (kind_ == BodyUntilClose)
        return capacity;
    if (kind_ == BodyLength)
        return remaining_ < capacity ? static_cast<size_t>(remaining_) : capacity;
    return 0;
}

DecodeResult BodyFraming::Next(const char **cursor, const char *end, const char **data, size_t *size)
{
    switch (kind_) {
    case BodyNone:
        return DecodeDone;
    case BodyChunked:
        return chunked_.Next(cursor, end, data, size);
    case BodyLength:
        if (remaining_ == 0)
            return DecodeDone;
        break;
    case BodyUntilClose:
        break;
    }
    if (*cursor == end)
        return DecodeNeedMore;
    size_t available = static_cast<size_t>(end - *cursor);
    size_t take = available;
    if (kind_ == BodyLength && remaining_ < available)
        take = static_cast<size_t>(remaining_);
    if (kind_ == BodyLength)
        remaining_ -= take;
    *data = *cursor;
    *size = take;
    *cursor += take;
    return DecodeData;
}
