#include "ui/MonitorPlacement.h"

int EdgeNearestIn(const RECT &work, POINT point)
{
    int w = work.right - work.left;
    int h = work.bottom - work.top;
    int x = point.x - work.left;
    int y = point.y - work.top;
    int dx = x < w - x ? x : w - x;
    int horizontal = x > w - x ? EdgeRight : EdgeLeft;
    int dy = y < h - y ? y : h - y;
    int vertical = y > h - y ? EdgeBottom : EdgeTop;
    return h * dx < w * dy ? horizontal : vertical;
}

POINT FlushAgainstEdge(const RECT &work, int edge, SIZE size, int position)
{
    switch (edge) {
    case EdgeLeft: return {work.left, position};
    case EdgeRight: return {work.right - size.cx, position};
    case EdgeTop: return {position, work.top};
    case EdgeBottom: return {position, work.bottom - size.cy};
    }
    return {work.left, work.top};
}

POINT KeptInside(const RECT &work, const RECT &window)
{
    POINT corner = {window.left < work.left ? work.left : window.left,
                    window.top < work.top ? work.top : window.top};
    if (window.right > work.right)
        corner.x = work.right - (window.right - window.left);
    if (window.bottom > work.bottom)
        corner.y = work.bottom - (window.bottom - window.top);
    return corner;
}

bool DockedPosition(int style, SIZE size, const RECT &windowWork, POINT saved, const RECT &savedWork,
                    POINT *positionOut)
{
    const RECT &w = windowWork;
    switch (style) {
    case DockLeftTop: *positionOut = {w.left, w.top}; return true;
    case DockLeftBottom: *positionOut = {w.left, w.bottom - size.cy}; return true;
    case DockRightTop: *positionOut = {w.right - size.cx, w.top}; return true;
    case DockRightBottom: *positionOut = {w.right - size.cx, w.bottom - size.cy}; return true;
    case DockAutoSave: {
        POINT corner = {saved.x < savedWork.left || saved.x > savedWork.right ? savedWork.left : saved.x,
                        saved.y < savedWork.top || saved.y > savedWork.bottom ? savedWork.top : saved.y};
        // The whole window inside: a point saved on the right or bottom side
        // (or edited by hand) would leave it where no monitor shows it.
        *positionOut = KeptInside(savedWork, {corner.x, corner.y, corner.x + size.cx, corner.y + size.cy});
        if (positionOut->x < savedWork.left)
            positionOut->x = savedWork.left;
        if (positionOut->y < savedWork.top)
            positionOut->y = savedWork.top;
        return true;
    }
    }
    return false;
}
