// Undoes chunked transfer coding as bytes arrive, without copying: the data
// it finds is handed out as spans of the input. Framing bytes (sizes,
// extensions, line ends, trailers) are consumed into the decoder's state, so
// a caller never has to keep a partial line around between reads.
#pragma once

#include <stddef.h>

enum DecodeResult {
    DecodeNeedMore,   // the input is used up
    DecodeData,       // *data, *size: body bytes inside the input
    DecodeDone,       // the last chunk and the trailer are read
    DecodeMalformed,
};

class ChunkedDecoder {
public:
    ChunkedDecoder() { Reset(); }
    void Reset();

    // Consumes from *cursor up to end and stops at the first body bytes, at
    // the end of the body, or when the input is used up.
    DecodeResult Next(const char **cursor, const char *end, const char **data, size_t *size);

private:
    // Takes one framing byte; false when it cannot stand there.
    bool Consume(char c);
    void StartSizeLine();
    void EndSizeLine();

    enum State {
        SizeFirstDigit,
        SizeDigits,
        Extension,
        SizeLineLf,
        Payload,
        PayloadCr,
        PayloadLf,
        TrailerLineStart,
        TrailerLine,
        TrailerEndLf,
        Finished,
    };

    State state_;
    unsigned long long remaining_;
    int digits_;
    size_t framingBytes_;  // in the current size line or the trailer, to bound them
};
