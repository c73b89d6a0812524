// Dragging the floating window along the screen edges, keeping it on the
// desktop, and placing it by the dock settings.
#pragma once

#include <windows.h>

#include "ui/MonitorPlacement.h"

struct FloatingWindowState;

// The primary screen's edge nearest (x, y), distances taken relative to the
// screen's width and height.
int NearestEdge(int x, int y);

// Moves the window flush against state->dragEdge, at position along it.
void SlideAlongEdge(FloatingWindowState *state, int position);

// The three mouse steps of a drag; point is the message's lParam.
void BeginDrag(FloatingWindowState *state, LPARAM point);
void FollowDrag(FloatingWindowState *state);
void EndDrag(FloatingWindowState *state);

// Moves the window to the corner or the saved position that DOCKSTYLE names,
// and keeps DOCKSTYLE in the window's state.
void PlaceByDockStyle(HWND window);
