#include "transfer/TaskWindow.h"

HWND FindTaskWindow()
{
    DWORD self = GetCurrentProcessId();
    HWND window = nullptr;
    while ((window = FindWindowExA(nullptr, window, kWindowClass, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == self)
            return window;
    }
    return nullptr;
}

void PostToTaskWindow(WPARAM command, int slot)
{
    if (HWND window = FindTaskWindow())
        PostMessageA(window, WM_COMMAND, command, slot);
}
