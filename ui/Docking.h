// Dragging the floating window along the screen edges, keeping it on the
// desktop, and placing it by the dock settings.
#pragma once

#include <windows.h>

struct FloatingWindowState;

enum ScreenEdge { EdgeLeft = 0, EdgeRight = 1, EdgeTop = 2, EdgeBottom = 3 };

// The DOCKSTYLE setting, in the order the Setting dialog lists them: a corner
// of the screen, or the position saved when the window last quit.
enum DockStyle { DockLeftTop = 0, DockLeftBottom = 1, DockRightTop = 2, DockRightBottom = 3, DockAutoSave = 4 };

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
