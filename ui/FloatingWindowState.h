// What the floating window keeps of its own between messages: its handle,
// the drag in progress and the dock style it was placed by. The window's
// user data points here; the controller the host holds is one of these.
#pragma once

#include <windows.h>

struct FloatingWindowState {
    HWND window;            // the floating window; null until it is created
    HINSTANCE hostInstance; // the host executable; the window class is registered under it
    LONG dragEdge;          // ScreenEdge: 0 left, 1 right, 2 top, 3 bottom
    POINT dragCursor;       // cursor at the start of a drag or the last edge change
    RECT dragRect;          // window rectangle at the same moments
    LONG dragging;          // 1 while the left button drags the window
    LONG dockStyle;         // DockStyle 0..4
    HWND tooltip;           // the window's tooltip (TaskTooltip.h), owned by it; null when there is none
    RECT dragWork;          // work area of the monitor under the cursor at the drag's last move
};

// The state of a floating window, from its user data; null before the
// window was given one or after it was taken away.
inline FloatingWindowState *WindowStateOf(HWND window)
{
    return reinterpret_cast<FloatingWindowState *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}
