// Pictures of the screen the tests' windows are shown on, copied from the
// screen's device context inside the test's own process. (Starting a Linux
// screenshot program from a Windows process instead forks that process under
// Wine, and in some runs its windows got no timer or posted message after.)
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ScreenShot {
public:
    // Takes the screen rectangle area; with a name, also keeps a copy as
    // build/screenshots/<name>.bmp for people to look at. False (with a
    // message in failure()) when the screen cannot be copied.
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
