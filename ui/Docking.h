// Dragging the floating window along the edges of a monitor's work area,
// keeping it inside a work area, and placing it by the dock settings. Every
// rule refers to one monitor, the one under the cursor or the window, and to
// its work area, so that the taskbar never covers the window.
#pragma once

#include <windows.h>

#include "ui/MonitorPlacement.h"

struct FloatingWindowState;

// The edge nearest (x, y) of the work area of the monitor nearest that point.
int NearestEdge(int x, int y);

// Moves the window flush against state->dragEdge of state->dragWork, at
// position along it.
void SlideAlongEdge(FloatingWindowState *state, int position);

// The three mouse steps of a drag; point is the message's lParam.
void BeginDrag(FloatingWindowState *state, LPARAM point);
void FollowDrag(FloatingWindowState *state);
void EndDrag(FloatingWindowState *state);

// Moves the window to the corner of its monitor's work area or the saved
// position that DOCKSTYLE names, and keeps DOCKSTYLE in the window's state.
void PlaceByDockStyle(HWND window);
