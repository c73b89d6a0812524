#include "util/DisplayScale.h"

#include "util/SystemFunction.h"

UINT WindowDpi(HWND window)
{
    typedef UINT(WINAPI * DpiForWindow)(HWND);
    typedef BOOL(WINAPI * ProcessAware)();
    static const DpiForWindow dpiForWindow = SystemFunction<DpiForWindow>("user32.dll", "GetDpiForWindow");
    if (dpiForWindow && window) {
        UINT dpi = dpiForWindow(window);
        if (dpi)
            return dpi;
    }
    static const ProcessAware processAware = SystemFunction<ProcessAware>("user32.dll", "IsProcessDPIAware");
    if (!processAware || !processAware())
        return kDesignDpi;
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}
