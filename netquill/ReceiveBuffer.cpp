#include "netquill/ReceiveBuffer.h"

int FixedReceiveBuffer(const SocketPlatform &platform)
{
    return platform.wine || !platform.vistaOrLater ? kUntunedReceiveBuffer : 0;
}

int BufferAtReaderPace(size_t readLimit, unsigned readPaceMs, size_t capacity, int fixedBuffer, int current)
{
    int most = fixedBuffer > 0 ? fixedBuffer : kUntunedReceiveBuffer;
    if (readLimit >= capacity)
        return current == 0 || current == most ? current : most;
    unsigned long long paced = static_cast<unsigned long long>(readLimit) * kPacedBufferMs / readPaceMs;
    int wanted = paced > static_cast<unsigned long long>(most) ? most : static_cast<int>(paced);
    if (wanted < kPacedBufferLeast)
        wanted = kPacedBufferLeast;
    int now = current > 0 ? current : most;
    return wanted > now / 2 && wanted < now * 2 ? current : wanted;
}
