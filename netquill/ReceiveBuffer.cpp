#include "netquill/ReceiveBuffer.h"

namespace {

// Enough for one connection at 80 MB/s over 50 ms.
const int kUntunedReceiveBuffer = 4 * 1024 * 1024;

}  // namespace

int FixedReceiveBuffer(const SocketPlatform &platform)
{
    return platform.wine || !platform.vistaOrLater ? kUntunedReceiveBuffer : 0;
}
