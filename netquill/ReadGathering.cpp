#include "netquill/ReadGathering.h"

unsigned GatherPauseMs(size_t lastRead, unsigned long long arrivalMicros, size_t capacity, int receiveWindow)
{
    // A full buffer leaves bytes behind in the socket: read again at once.
    if (receiveWindow <= 0 || lastRead == 0 || lastRead >= capacity)
        return 0;
    unsigned long long target = capacity / kGatherBufferDivisor;
    unsigned long long windowShare = static_cast<unsigned long long>(receiveWindow) / kGatherWindowDivisor;
    if (windowShare < target)
        target = windowShare;
    // The time the target takes at the rate the last read saw.
    unsigned long long pauseMs = target * arrivalMicros / lastRead / 1000;
    if (pauseMs < kGatherMinMs)
        return 0;
    return pauseMs > kGatherMaxMs ? kGatherMaxMs : static_cast<unsigned>(pauseMs);
}

size_t ReadLimitAtReaderPace(size_t lastPiece, unsigned heldMs, size_t lastLimit, size_t capacity)
{
    if (lastPiece == 0)
        return capacity;
    if (heldMs <= kReaderPaceMs)
        return lastLimit < capacity / 2 ? 2 * lastLimit : capacity;
    unsigned long long limit = static_cast<unsigned long long>(lastPiece) * kReaderPaceMs / heldMs;
    if (limit < kReaderPaceMinRead)
        limit = kReaderPaceMinRead;
    return limit < capacity ? static_cast<size_t>(limit) : capacity;
}
