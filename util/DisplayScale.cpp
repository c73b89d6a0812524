#include "util/DisplayScale.h"

namespace {

template <typename Function>
Function User32Function(const char *name)
{
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(user32, name)))
                  : nullptr;
}

}  // namespace

UINT WindowDpi(HWND window)
{
    typedef UINT(WINAPI * DpiForWindow)(HWND);
    typedef BOOL(WINAPI * ProcessAware)();
    static const DpiForWindow dpiForWindow = User32Function<DpiForWindow>("GetDpiForWindow");
    if (dpiForWindow && window) {
        UINT dpi = dpiForWindow(window);
        if (dpi)
            return dpi;
    }
    static const ProcessAware processAware = User32Function<ProcessAware>("IsProcessDPIAware");
    if (!processAware || !processAware())
        return kDesignDpi;
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDesignDpi;
}
