// A clock in microseconds, for waits and arrivals shorter than the tick
// count's steps (about 16 ms on Windows).
#pragma once

#include <windows.h>

inline unsigned long long MicrosecondsNow()
{
    static const unsigned long long frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return static_cast<unsigned long long>(value.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    unsigned long long ticks = static_cast<unsigned long long>(now.QuadPart);
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}
