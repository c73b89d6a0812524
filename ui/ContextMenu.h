// The right-click menu (menu 102) of the floating window.
#pragma once

#include <windows.h>

// Writes the tasks' labels and names into the per-task items of popup and
// enables only the actions that fit each task's and all tasks' states.
void PrepareContextMenu(HMENU popup);

// Loads menu 102, prepares it and tracks it at the message's point (lParam,
// client coordinates). Blocks until the menu closes.
void ShowContextMenu(HWND window, LPARAM point);
