// The speed and time left the window shows for a download, from its
// received count sampled at each repaint. Smoothed over the last few
// seconds, so that the figure does not jump with each burst of a
// connection; and said only once there is enough to go on.
#pragma once

#include <windows.h>

// The speed is what came in over the last 5 s.
const DWORD kRateSpanMs = 5000;
// No speed before 2 s of samples: a download's first second is its connects
// and the servers' first bursts, not its pace.
const DWORD kRateFirstSpanMs = 2000;
// No time left before the speed has most of a span behind it, or while it is 0.
const DWORD kTimeLeftFirstSpanMs = 4000;

class TransferRate {
public:
    TransferRate() : count_(0), next_(0) {}

    // The received count at now. A count below the last one (the download
    // started over) starts the samples over too.
    void Add(DWORD now, ULONGLONG received);
    void Reset() { count_ = next_ = 0; }

    // Bytes per second over the samples of the last span; false until
    // kRateFirstSpanMs of samples.
    bool Speed(ULONGLONG *bytesPerSecond) const;
    // Seconds until left more bytes are in at that speed; false until
    // kTimeLeftFirstSpanMs of samples, or while nothing arrives.
    bool SecondsLeft(ULONGLONG left, ULONGLONG *seconds) const;

private:
    struct Sample {
        DWORD tick;
        ULONGLONG received;
    };
    // Ten a second over the span, and a few more.
    static const int kCapacity = 64;

    const Sample &Newest() const { return samples_[(next_ + kCapacity - 1) % kCapacity]; }
    // The oldest sample still within the span of the newest.
    const Sample &Oldest() const;
    DWORD Span() const { return count_ ? Newest().tick - Oldest().tick : 0; }

    Sample samples_[kCapacity];
    int count_;
    int next_;
};
