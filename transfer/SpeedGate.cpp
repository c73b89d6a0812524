#include "transfer/SpeedGate.h"

#include "store/SpeedSettings.h"
#include "transfer/PacePolicy.h"
#include "transfer/YieldProbe.h"
#include "util/MicroClock.h"
#include "util/ProcessLock.h"

namespace {

// Taken for a few additions at each delivery and each slice of a wait.
ProcessLock &GateSection()
{
    static ProcessLock lock;
    return lock;
}

class GateLock : public ProcessLockHold {
public:
    GateLock() : ProcessLockHold(GateSection()) {}
};

PaceQueue gQueue = {0, 0, 0};
ULONGLONG gCapSetting = 0;
ULONGLONG gYieldRate = 0;
ULONGLONG gCap = 0;  // the rate the queue drains at: the lower of the two set
DWORD gLastHeld = 0;
bool gEverHeld = false;

}  // namespace

void ApplySpeedSettings(const SpeedSettings &settings)
{
    SetGateCap(settings.cap);
    SetYielding(settings.background);
}

namespace {

void SetGateRates(ULONGLONG cap, ULONGLONG yieldRate)
{
    GateLock lock;
    // Whatever the old rate had left waiting goes at the new one from now.
    DrainUntil(gQueue, MicrosecondsNow(), gCap);
    gCapSetting = cap;
    gYieldRate = yieldRate;
    __atomic_store_n(&gCap, LowerRate(cap, yieldRate), __ATOMIC_RELEASE);
}

}  // namespace

void SetGateCap(ULONGLONG bytesPerSecond)
{
    SetGateRates(bytesPerSecond, __atomic_load_n(&gYieldRate, __ATOMIC_ACQUIRE));
}

void SetGateYieldRate(ULONGLONG bytesPerSecond)
{
    SetGateRates(__atomic_load_n(&gCapSetting, __ATOMIC_ACQUIRE), bytesPerSecond);
}



ULONGLONG ReserveAtSpeedGate(ULONGLONG bytes)
{
    // Without a cap a delivery takes no lock: today's speed, unchanged.
    if (!__atomic_load_n(&gCap, __ATOMIC_ACQUIRE))
        return 0;
    GateLock lock;
    DrainUntil(gQueue, MicrosecondsNow(), gCap);
    gQueue.reserved += bytes;
    return gQueue.reserved;
}

DWORD SpeedGateWait(ULONGLONG position)
{
    GateLock lock;
    ULONGLONG now = MicrosecondsNow();
    DrainUntil(gQueue, now, gCap);
    ULONGLONG micros = MicrosecondsUntil(gQueue, position, gCap, now);
    if (micros == 0)
        return 0;
    gLastHeld = GetTickCount();
    gEverHeld = true;
    ULONGLONG millis = (micros + 999) / 1000;
    return millis < kPaceSliceMilliseconds ? static_cast<DWORD>(millis) : kPaceSliceMilliseconds;
}

void LeaveSpeedGate(ULONGLONG position, ULONGLONG bytes)
{
    GateLock lock;
    DrainUntil(gQueue, MicrosecondsNow(), gCap);
    // Of its bytes, those the queue has not let through yet.
    ULONGLONG first = position - bytes;
    if (gQueue.drained < position)
        GiveUpPlace(gQueue, gQueue.drained > first ? position - gQueue.drained : bytes);
}

ULONGLONG SpeedGateReserved()
{
    GateLock lock;
    return gQueue.reserved;
}

ULONGLONG SpeedGateReadSize(ULONGLONG limit)
{
    GateLock lock;
    return PacedReadSize(gCap, limit);
}

bool SpeedGateHolds(DWORD now)
{
    GateLock lock;
    return gEverHeld && now - gLastHeld < kPaceHoldMemoryMilliseconds;
}
