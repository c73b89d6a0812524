#include "netquill/ChunkedDecoder.h"
#include "util/AsciiText.h"

namespace {

// A chunk size of 15 hex digits is already far past any file we handle.
const int kMaxSizeDigits = 15;
// Extensions and trailers are skipped; a server sending more than this is broken.
const size_t kMaxFramingBytes = 64 * 1024;

}  // namespace

void ChunkedDecoder::Reset()
{
    StartSizeLine();
}

DecodeResult ChunkedDecoder::Next(const char **cursor, const char *end, const char **data, size_t *size)
{
    const char *p = *cursor;
    while (state_ != Finished && p < end) {
        if (state_ == Payload) {
            size_t available = static_cast<size_t>(end - p);
            size_t take = remaining_ < available ? static_cast<size_t>(remaining_) : available;
            *data = p;
            *size = take;
            remaining_ -= take;
            if (remaining_ == 0)
                state_ = PayloadCr;
            *cursor = p + take;
            return DecodeData;
        }
        if (++framingBytes_ > kMaxFramingBytes || !Consume(*p)) {
            *cursor = p;
            return DecodeMalformed;
        }
        ++p;
    }
    *cursor = p;
    return state_ == Finished ? DecodeDone : DecodeNeedMore;
}

void ChunkedDecoder::StartSizeLine()
{
    state_ = SizeFirstDigit;
    remaining_ = 0;
    digits_ = 0;
    framingBytes_ = 0;
}

void ChunkedDecoder::EndSizeLine()
{
    framingBytes_ = 0;
    state_ = remaining_ ? Payload : TrailerLineStart;
}

// Line ends are CR LF, but a bare LF is taken too, as lenient servers send it.
bool ChunkedDecoder::Consume(char c)
{
    switch (state_) {
    case SizeFirstDigit:
    case SizeDigits: {
        int value = HexValue(c);
        if (value >= 0) {
            if (digits_ == kMaxSizeDigits)
                return false;
            remaining_ = remaining_ * 16 + static_cast<unsigned>(value);
            ++digits_;
            state_ = SizeDigits;
            return true;
        }
        if (state_ == SizeFirstDigit)
            return false;
        if (c == ';' || c == ' ' || c == '\t')
            state_ = Extension;
        else if (c == '\r')
            state_ = SizeLineLf;
        else if (c == '\n')
            EndSizeLine();
        else
            return false;
        return true;
    }
    case Extension:
        if (c == '\r')
            state_ = SizeLineLf;
        else if (c == '\n')
            EndSizeLine();
        return true;
    case SizeLineLf:
        if (c != '\n')
            return false;
        EndSizeLine();
        return true;
    case PayloadCr:
        if (c == '\r')
            state_ = PayloadLf;
        else if (c == '\n')
            StartSizeLine();
        else
            return false;
        return true;
    case PayloadLf:
        if (c != '\n')
            return false;
        StartSizeLine();
        return true;
    case TrailerLineStart:
        if (c == '\r')
            state_ = TrailerEndLf;
        else if (c == '\n')
            state_ = Finished;
        else
            state_ = TrailerLine;
        return true;
    case TrailerLine:
        if (c == '\n')
            state_ = TrailerLineStart;
        return true;
    case TrailerEndLf:
        if (c != '\n')
            return false;
        state_ = Finished;
        return true;
    case Payload:
    case Finished:
        break;
    }
    return false;
}
