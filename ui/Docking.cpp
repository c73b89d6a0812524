#include "ui/Docking.h"

#include "components/SkinEngine.h"
#include "store/SettingsFile.h"
#include "ui/FloatingWindowState.h"
#include "ui/ProcessState.h"

namespace {

// The monitor's screen less the taskbar and other bars docked on it. A
// monitor unplugged since its handle was taken has no information; the
// primary screen then serves.
RECT WorkAreaOf(HMONITOR monitor)
{
    MONITORINFO info = {};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoA(monitor, &info))
        return {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return info.rcWork;
}

RECT WorkAreaNearPoint(POINT point)
{
    return WorkAreaOf(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

SIZE SizeOf(const RECT &rect)
{
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void MoveWindowTo(HWND window, POINT corner)
{
    SetWindowPos(window, nullptr, corner.x, corner.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// The message's point (unsigned 16-bit halves) in screen coordinates.
POINT ScreenPoint(HWND window, LPARAM point)
{
    POINT p = {static_cast<LONG>(LOWORD(point)), static_cast<LONG>(HIWORD(point))};
    ClientToScreen(window, &p);
    return p;
}

// The engine tracks presses on its buttons itself; a drag started there would
// move the window under the user's click.
bool OnSkinButton(LPARAM point)
{
    SkinEngine *engine = gProcess.skinEngine;
    if (!engine)
        return false;
    static const int kButtons[] = {CommandNextFace, CommandPreviousTask, CommandNextTask, CommandDiscardAll};
    POINT p = {static_cast<LONG>(LOWORD(point)), static_cast<LONG>(HIWORD(point))};
    for (int id : kButtons) {
        RECT rect = {0, 0, 0, 0};
        if (engine->operations->GetElementRect(engine, id, &rect) && PtInRect(&rect, p))
            return true;
    }
    return false;
}

}  // namespace

int NearestEdge(int x, int y)
{
    POINT point = {x, y};
    return EdgeNearestIn(WorkAreaNearPoint(point), point);
}

void SlideAlongEdge(FloatingWindowState *state, int position)
{
    RECT rect;
    GetWindowRect(state->window, &rect);
    MoveWindowTo(state->window, FlushAgainstEdge(state->dragWork, state->dragEdge, SizeOf(rect), position));
}

void BeginDrag(FloatingWindowState *state, LPARAM point)
{
    if (OnSkinButton(point))
        return;
    if (!state->dragging) {
        state->dragging = 1;
        SetCapture(state->window);
    }
    state->dragCursor = ScreenPoint(state->window, point);
    GetWindowRect(state->window, &state->dragRect);
}

void FollowDrag(FloatingWindowState *state)
{
    if (!state->dragging)
        return;
    POINT cursor;
    GetCursorPos(&cursor);
    // The window slides along the work area whose edge is nearest, also
    // when the cursor crosses onto another monitor along the same edge.
    state->dragWork = WorkAreaNearPoint(cursor);
    int edge = NearestEdge(cursor.x, cursor.y);
    if (edge != state->dragEdge) {
        // Re-anchor, so that the window jumps to the new edge once and then
        // follows the cursor from there.
        GetWindowRect(state->window, &state->dragRect);
        GetCursorPos(&state->dragCursor);
        cursor = state->dragCursor;
    }
    state->dragEdge = edge;
    int position = edge == EdgeLeft || edge == EdgeRight
                       ? state->dragRect.top + cursor.y - state->dragCursor.y
                       : state->dragRect.left + cursor.x - state->dragCursor.x;
    SlideAlongEdge(state, position);
}

void EndDrag(FloatingWindowState *state)
{
    if (state->dragging) {
        state->dragging = 0;
        ReleaseCapture();
    }
    RECT rect;
    GetWindowRect(state->window, &rect);
    RECT work = WorkAreaOf(MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST));
    MoveWindowTo(state->window, KeptInside(work, rect));
}

void PlaceByDockStyle(HWND window)
{
    FloatingWindowState *state = WindowStateOf(window);
    RECT rect;
    GetWindowRect(window, &rect);
    int style = ReadSettingNumber("DOCKSTYLE", 0);
    POINT saved = {static_cast<LONG>(ReadSettingNumber("DOCKLEFT", 0)),
                   static_cast<LONG>(ReadSettingNumber("DOCKTOP", 0))};
    if (state)
        state->dockStyle = style;
    // A position saved on a monitor that is gone comes back onto the nearest.
    RECT windowWork = WorkAreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    POINT corner;
    if (DockedPosition(style, SizeOf(rect), windowWork, saved, WorkAreaNearPoint(saved), &corner))
        MoveWindowTo(window, corner);
}
