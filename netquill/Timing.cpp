#include "netquill/Timing.h"

#include <stdlib.h>

namespace {

DWORD Setting(const char *name, DWORD fallback)
{
    char text[16];
    DWORD length = GetEnvironmentVariableA(name, text, sizeof(text));
    if (length == 0 || length >= sizeof(text))
        return fallback;
    char *end;
    unsigned long value = strtoul(text, &end, 10);
    return (*end == '\0' && value > 0) ? value : fallback;
}

Timing LoadTiming()
{
    Timing timing;
    timing.connectMs = Setting("NETQUILL_CONNECT_TIMEOUT_MS", 15000);
    timing.headerMs = Setting("NETQUILL_HEADER_TIMEOUT_MS", 30000);
    timing.idleMs = Setting("NETQUILL_IDLE_TIMEOUT_MS", 30000);
    timing.retryPauseMs = Setting("NETQUILL_RETRY_PAUSE_MS", 1000);
    timing.retryAttempts = 4;
    timing.speedWindowMs = Setting("NETQUILL_SPEED_WINDOW_MS", 30000);
    timing.openReturnDelayMs = Setting("NETQUILL_OPEN_RETURN_DELAY_MS", 0);
    return timing;
}

const Timing gTiming = LoadTiming();

}  // namespace

const Timing &RequestTiming()
{
    return gTiming;
}
