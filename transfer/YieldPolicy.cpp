#include "transfer/YieldPolicy.h"

namespace {

ULONGLONG Least(const ULONGLONG *values, int count)
{
    ULONGLONG least = 0;
    for (int i = 0; i < count; ++i) {
        if (values[i] && (!least || values[i] < least))
            least = values[i];
    }
    return least;
}

void NoteBase(YieldState &state, DWORD now, ULONGLONG rtt)
{
    while (now - state.bucketStart >= kYieldBaseBucketMs) {
        state.bucket = (state.bucket + 1) % kYieldBaseBuckets;
        state.baseMinima[state.bucket] = 0;
        state.bucketStart += kYieldBaseBucketMs;
    }
    ULONGLONG &least = state.baseMinima[state.bucket];
    if (!least || rtt < least)
        least = rtt;
}

void NoteRecent(YieldState &state, ULONGLONG rtt)
{
    if (state.recentCount < kYieldRecentSamples) {
        state.recent[state.recentCount++] = rtt;
        return;
    }
    for (int i = 1; i < kYieldRecentSamples; ++i)
        state.recent[i - 1] = state.recent[i];
    state.recent[kYieldRecentSamples - 1] = rtt;
}

// Bytes per second the downloads passed over the last samples, this one's
// included.
ULONGLONG PassedRate(YieldState &state, ULONGLONG passedBytes, DWORD sinceMs)
{
    state.passedBytes[state.passedNext] = passedBytes;
    state.passedMs[state.passedNext] = sinceMs;
    state.passedNext = (state.passedNext + 1) % kYieldPassedSamples;
    ULONGLONG bytes = 0, ms = 0;
    for (int i = 0; i < kYieldPassedSamples; ++i) {
        bytes += state.passedBytes[i];
        ms += state.passedMs[i];
    }
    return ms ? bytes * 1000 / ms : 0;
}

}  // namespace

YieldState FirstYieldState(DWORD now)
{
    YieldState state = {};
    state.rate = kYieldFirstRate;
    state.bucketStart = now;
    return state;
}

ULONGLONG QueueingDelay(const YieldState &state)
{
    ULONGLONG base = Least(state.baseMinima, kYieldBaseBuckets);
    ULONGLONG current = Least(state.recent, state.recentCount);
    return current > base ? current - base : 0;
}

ULONGLONG NextYieldRate(YieldState &state, DWORD now, ULONGLONG rttMicros, DWORD sinceMs, ULONGLONG passedBytes)
{
    if (rttMicros == 0)
        rttMicros = 1;
    // Lost time (a stalled measurement) counts as one sample's worth.
    if (sinceMs > 4 * kYieldSampleMs)
        sinceMs = kYieldSampleMs;
    NoteBase(state, now, rttMicros);
    NoteRecent(state, rttMicros);
    ULONGLONG delay = QueueingDelay(state);
    ULONGLONG rate = state.rate;
    if (delay < kYieldTargetMicros) {
        ULONGLONG room = kYieldTargetMicros - delay;
        ULONGLONG growth = state.queueSeen ? kYieldGrowthPercent : kYieldStartGrowthPercent;
        rate += rate * growth / 100 * sinceMs / 1000 * room / kYieldTargetMicros;
    } else {
        state.queueSeen = true;
        ULONGLONG excess = delay - kYieldTargetMicros;
        if (excess > kYieldTargetMicros)
            excess = kYieldTargetMicros;
        ULONGLONG cut = rate * kYieldShrinkPercent / 100 * sinceMs / 1000 * excess / kYieldTargetMicros;
        rate = cut < rate / 2 ? rate - cut : rate / 2;
    }
    ULONGLONG ceiling = 2 * PassedRate(state, passedBytes, sinceMs);
    if (ceiling < kYieldFirstRate)
        ceiling = kYieldFirstRate;
    if (rate > ceiling)
        rate = ceiling;
    if (rate < kYieldLeastRate)
        rate = kYieldLeastRate;
    state.rate = rate;
    return rate;
}
