// Pictures of the X screen the tests' windows are shown on, taken with
// ImageMagick's import. Wine starts the Linux program but gives no handle to
// wait on, so the picture is written under a temporary name and renamed when
// complete, and the test waits for the final name (dispatching its messages
// meanwhile, so that its windows stay drawn).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ScreenShot {
public:
    // Takes the screen rectangle area; with a name, also keeps a PNG copy as
    // build/screenshots/<name>.png for people to look at. False (with a
    // message in failure()) when the picture does not arrive.
    bool Take(const RECT &area, const char *name = nullptr);

    // Pixel at (x, y) relative to the area's top-left corner, as RGB().
    COLORREF At(int x, int y) const;
    const std::string &failure() const { return failure_; }

    // How many pixels of rect (relative to the area) have exactly colour.
    int Count(const RECT &rect, COLORREF colour) const;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<COLORREF> pixels_;
    std::string failure_;
};

// The screen rectangle of a window's client area, grown by margin on every side.
RECT ScreenArea(HWND window, int margin = 0);
