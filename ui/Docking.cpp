#include "ui/Docking.h"

#include "components/SkinEngine.h"
#include "store/SettingsFile.h"
#include "ui/FloatingWindowState.h"
#include "ui/ProcessState.h"

namespace {

SIZE ScreenSize()
{
    return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

void MoveWindowTo(HWND window, int x, int y)
{
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
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
    SIZE screen = ScreenSize();
    int dx = x < screen.cx - x ? x : screen.cx - x;
    int horizontal = x > screen.cx - x ? EdgeRight : EdgeLeft;
    int dy = y < screen.cy - y ? y : screen.cy - y;
    int vertical = y > screen.cy - y ? EdgeBottom : EdgeTop;
    return screen.cy * dx < screen.cx * dy ? horizontal : vertical;
}

void SlideAlongEdge(FloatingWindowState *state, int position)
{
    SIZE screen = ScreenSize();
    RECT rect;
    GetWindowRect(state->window, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    POINT corner = {0, 0};
    switch (state->dragEdge) {
    case EdgeLeft: corner = {0, position}; break;
    case EdgeRight: corner = {screen.cx - w, position}; break;
    case EdgeTop: corner = {position, 0}; break;
    case EdgeBottom: corner = {position, screen.cy - h}; break;
    }
    MoveWindowTo(state->window, corner.x, corner.y);
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
    RECT r, d;
    GetWindowRect(state->window, &r);
    GetWindowRect(GetDesktopWindow(), &d);
    int w = r.right - r.left;
    int h = r.bottom - r.top;
    int x = r.left < d.left ? d.left : r.left;
    if (r.right > d.right)
        x = d.right - w;
    int y = r.top < d.top ? d.top : r.top;
    if (r.bottom > d.bottom)
        y = d.bottom - h;
    MoveWindowTo(state->window, x, y);
}

void PlaceByDockStyle(HWND window)
{
    FloatingWindowState *state = WindowStateOf(window);
    SIZE screen = ScreenSize();
    RECT rect;
    GetWindowRect(window, &rect);
    int w = rect.right - rect.left;
    int h = rect.bottom - rect.top;
    int style = GetPrivateProfileIntA(kDownloadSection, "DOCKSTYLE", 0, kSettingsFile);
    int left = GetPrivateProfileIntA(kDownloadSection, "DOCKLEFT", 0, kSettingsFile);
    int top = GetPrivateProfileIntA(kDownloadSection, "DOCKTOP", 0, kSettingsFile);
    if (state)
        state->dockStyle = style;
    if (left < 0 || left > screen.cx)
        left = 0;
    if (top < 0 || top > screen.cy)
        top = 0;
    switch (style) {
    case DockLeftTop: MoveWindowTo(window, 0, 0); break;
    case DockLeftBottom: MoveWindowTo(window, 0, screen.cy - h); break;
    case DockRightTop: MoveWindowTo(window, screen.cx - w, 0); break;
    case DockRightBottom: MoveWindowTo(window, screen.cx - w, screen.cy - h); break;
    case DockAutoSave: MoveWindowTo(window, left, top); break;
    }
}
