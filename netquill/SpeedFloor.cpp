#include "netquill/SpeedFloor.h"

SpeedVerdict SpeedWindow::Add(DWORD now, size_t bytes, DWORD windowMs)
{
    bytes_ += bytes;
    DWORD elapsed = now - start_;
    if (elapsed < windowMs)
        return SpeedMeasuring;
    bool enough = bytes_ * 1000 >= static_cast<unsigned long long>(kSpeedFloorBytesPerSecond) * elapsed;
    if (!enough)
        return SpeedTooSlow;
    Restart(now);
    return SpeedEnough;
}
