#include "ui/TransferRate.h"

void TransferRate::Add(DWORD now, ULONGLONG received)
{
    if (count_ && received < Newest().received)
        Reset();
    samples_[next_] = {now, received};
    next_ = (next_ + 1) % kCapacity;
    if (count_ < kCapacity)
        ++count_;
}

const TransferRate::Sample &TransferRate::Oldest() const
{
    const Sample &newest = Newest();
    int oldest = (next_ + kCapacity - count_) % kCapacity;
    while (oldest != (next_ + kCapacity - 1) % kCapacity && newest.tick - samples_[oldest].tick > kRateSpanMs)
        oldest = (oldest + 1) % kCapacity;
    return samples_[oldest];
}

bool TransferRate::Speed(ULONGLONG *bytesPerSecond) const
{
    DWORD span = Span();
    if (span < kRateFirstSpanMs)
        return false;
    *bytesPerSecond = (Newest().received - Oldest().received) * 1000 / span;
    return true;
}

bool TransferRate::SecondsLeft(ULONGLONG left, ULONGLONG *seconds) const
{
    ULONGLONG speed;
    if (Span() < kTimeLeftFirstSpanMs || !Speed(&speed) || speed == 0)
        return false;
    *seconds = (left + speed - 1) / speed;
    return true;
}
