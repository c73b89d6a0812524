#include "transfer/ResplitPolicy.h"

#include "components/WebRequest.h"

namespace {

ULONGLONG Larger(ULONGLONG a, ULONGLONG b)
{
    return a > b ? a : b;
}

}  // namespace

ULONGLONG MeasuredRate(ULONGLONG bytes, LONG elapsedMs, bool *known)
{
    *known = elapsedMs >= static_cast<LONG>(kMeasureMilliseconds);
    return *known ? bytes * 1000 / elapsedMs : 0;
}

ULONGLONG MillisecondsLeft(ULONGLONG left, ULONGLONG rate)
{
    return rate > 0 ? left * 1000 / rate : ~0ull;
}

int RangeThatNeedsLongest(const RangeFigures *ranges, int count, DWORD setupMs)
{
    ULONGLONG worth = Larger(kWorthSetups * setupMs, kWorthMilliseconds);
    int chosen = -1;
    ULONGLONG longest = 0;
    for (int i = 0; i < count; ++i) {
        const RangeFigures &range = ranges[i];
        if (!range.rateKnown || range.left <= kMinPiece)
            continue;
        ULONGLONG leftMs = MillisecondsLeft(range.left, range.rate);
        if (leftMs < worth || leftMs <= longest)
            continue;
        chosen = i;
        longest = leftMs;
    }
    return chosen;
}

ULONGLONG ShareOf(ULONGLONG left, const RangeFigures &range, const RunFigures &run, int sharing)
{
    if (sharing <= 0)
        return 0;
    ULONGLONG helper = Larger(run.bestRate, range.rate);
    if (ConnectionIsSlow(range.rate, helper, range.measuredMs, run.setupMs)) {
        DWORD openMs = run.setupMs > kPollMilliseconds ? run.setupMs : kPollMilliseconds;
        ULONGLONG keep = range.rate * kSlowKeepOpenings * openMs / 1000;
        return left > keep ? (left - keep) / sharing : 0;
    }
    if (helper == 0)
        return left / (sharing + 1);
    return static_cast<ULONGLONG>(static_cast<double>(left) * helper /
                                  (range.rate + static_cast<double>(sharing) * helper));
}

bool ConnectionIsSlow(ULONGLONG rate, ULONGLONG helperRate, DWORD measuredMs, DWORD setupMs)
{
    return rate * kSlowFactor < helperRate && measuredMs >= kSlowProofSetups * setupMs;
}

SharePlan PlanShares(const RangeFigures &range, const RunFigures &run, int helpers, int sharing)
{
    SharePlan plan = {};
    ULONGLONG left = range.left, cuttable = range.cuttable;
    for (; helpers > 0 && sharing > 0 && plan.count < kMaxSegments; --helpers, --sharing) {
        ULONGLONG give = ShareOf(left, range, run, sharing);
        if (give > cuttable)
            give = cuttable;
        if (give < kMinPiece)
            continue;
        plan.shares[plan.count++] = PlannedShare{sharing, give};
        left -= give;
        cuttable -= give;
    }
    return plan;
}

bool BurstSeen(ULONGLONG earlyBytes, DWORD earlyMs, ULONGLONG laterBytes, DWORD laterMs, ULONGLONG *heldRate)
{
    if (earlyMs == 0 || laterMs < kHeldMilliseconds || earlyBytes < kMinBurst || laterBytes == 0)
        return false;
    ULONGLONG held = laterBytes * 1000 / laterMs;
    ULONGLONG early = earlyBytes * 1000 / earlyMs;
    if (held == 0 || early < kBurstFactor * held)
        return false;
    *heldRate = held;
    return true;
}

bool StillAfterBurst(ULONGLONG earlyBytes, ULONGLONG laterBytes, DWORD stillMs)
{
    return earlyBytes >= kMinBurst && laterBytes * kStillFraction <= earlyBytes && stillMs >= kStillMilliseconds;
}

ULONGLONG BurstRequestEnd(ULONGLONG requestStart, ULONGLONG writePos, ULONGLONG rangeEnd, const RunFigures &run)
{
    if (run.heldRate == 0 && run.burstBytes > 0) {
        ULONGLONG left = rangeEnd > requestStart ? rangeEnd - requestStart : 0;
        ULONGLONG requests = (left + run.burstBytes - 1) / run.burstBytes;
        ULONGLONG share = requests ? (left + requests - 1) / requests : 0;
        return Larger(requestStart + share, writePos);
    }
    ULONGLONG held = run.heldRate * kBurstRequestMilliseconds / 1000;
    return Larger(requestStart + run.burstBytes + held, writePos + held);
}

bool FreeBeforeNextLook(ULONGLONG left, ULONGLONG rate)
{
    return rate > 0 && MillisecondsLeft(left, rate) < kPollMilliseconds;
}

DWORD NextLookIn(const LONG *openedMs, int count, bool connectionFree)
{
    DWORD wait = kPollMilliseconds;
    if (!connectionFree)
        return wait;
    for (int i = 0; i < count; ++i) {
        LONG toKnow = static_cast<LONG>(kMeasureMilliseconds) - openedMs[i];
        if (toKnow >= 0 && static_cast<DWORD>(toKnow) + 1 < wait)
            wait = static_cast<DWORD>(toKnow) + 1;
    }
    return wait;
}

bool RefusalBarsHelp(int refusal)
{
    return refusal == WebRequestFileChanged || refusal == WebRequestRangeRefused;
}
