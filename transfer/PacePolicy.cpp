#include "transfer/PacePolicy.h"

namespace {

const ULONGLONG kMicrosPerSecond = 1000000;
// Longer than any wait a rate above a byte a second leaves: a clock that
// jumped, or a queue idle since, cannot overflow the products below.
const ULONGLONG kLongestStepMicros = 3600 * kMicrosPerSecond;

}  // namespace

void DrainUntil(PaceQueue &queue, ULONGLONG nowMicros, ULONGLONG rate)
{
    if (queue.drained >= queue.reserved || rate == 0 || nowMicros < queue.lastMicros) {
        queue.drained = queue.reserved;
        queue.lastMicros = nowMicros;
        return;
    }
    ULONGLONG elapsed = nowMicros - queue.lastMicros;
    if (elapsed > kLongestStepMicros)
        elapsed = kLongestStepMicros;
    ULONGLONG bytes = rate * elapsed / kMicrosPerSecond;
    ULONGLONG waiting = queue.reserved - queue.drained;
    if (bytes >= waiting) {
        queue.drained = queue.reserved;
        queue.lastMicros = nowMicros;
        return;
    }
    queue.drained += bytes;
    queue.lastMicros += bytes * kMicrosPerSecond / rate;
}

ULONGLONG MicrosecondsUntil(const PaceQueue &queue, ULONGLONG position, ULONGLONG rate, ULONGLONG nowMicros)
{
    if (rate == 0 || position <= queue.drained)
        return 0;
    // Rounded up: a wait that ends a microsecond early would look again for
    // nothing. Counted from the queue's clock, which the part of a byte
    // drained since it was last brought up to date left behind now.
    ULONGLONG at = queue.lastMicros + ((position - queue.drained) * kMicrosPerSecond + rate - 1) / rate;
    return at > nowMicros ? at - nowMicros : 0;
}

void GiveUpPlace(PaceQueue &queue, ULONGLONG unpassed)
{
    ULONGLONG waiting = queue.reserved - queue.drained;
    queue.drained += unpassed < waiting ? unpassed : waiting;
}

ULONGLONG LowerRate(ULONGLONG a, ULONGLONG b)
{
    if (a == 0 || b == 0)
        return a | b;
    return a < b ? a : b;
}

ULONGLONG PacedReadSize(ULONGLONG rate, ULONGLONG limit)
{
    if (rate == 0)
        return limit;
    ULONGLONG size = rate * kPaceReadMilliseconds / 1000;
    if (size < kPaceMinRead)
        size = kPaceMinRead;
    return size < limit ? size : limit;
}
