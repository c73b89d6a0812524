// The text a window's tooltip holds for the window itself (a tool added with
// TTF_IDISHWND), read through the tooltip's own message.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <string>

namespace testing_support {

inline std::string TooltipTextFor(HWND tooltip, HWND window)
{
    char text[1024] = "";
    TOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V1_SIZE;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(window);
    tool.lpszText = text;
    SendMessageA(tooltip, TTM_GETTEXTA, sizeof(text), reinterpret_cast<LPARAM>(&tool));
    return text;
}

// The text of the tooltip that window owns; none when it owns no tooltip.
inline std::string TooltipTextOfWindow(HWND window, const char *none = "")
{
    HWND tooltip = nullptr;
    while ((tooltip = FindWindowExA(nullptr, tooltip, TOOLTIPS_CLASSA, nullptr)) &&
           GetWindow(tooltip, GW_OWNER) != window) {
    }
    return tooltip ? TooltipTextFor(tooltip, window) : none;
}

}  // namespace testing_support
