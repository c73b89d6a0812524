// The DPI a window is drawn at, and sizes designed for 96 DPI scaled to it.
// A window of a DPI-unaware thread is drawn at 96 and scaled by the system;
// a system-aware one at the system's DPI; a per-monitor-aware one at its
// monitor's, which changes when it moves (WM_DPICHANGED).
#pragma once

#include <windows.h>

const UINT kDesignDpi = 96;

// The window's DPI. Where the system cannot tell a window's own
// (GetDpiForWindow came with Windows 10), the screen's for a DPI-aware
// process and 96 for an unaware one.
UINT WindowDpi(HWND window);

// A length designed at 96 DPI, at dpi (rounded to the nearest pixel).
inline int ScaleToDpi(int length, UINT dpi)
{
    return MulDiv(length, static_cast<int>(dpi), static_cast<int>(kDesignDpi));
}

// The scale of dpi in percent of 96 DPI: 100, 125, 150, 200, ...
inline int DpiPercent(UINT dpi)
{
    return ScaleToDpi(100, dpi);
}
