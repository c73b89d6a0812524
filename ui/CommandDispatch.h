// Every action on the tasks and the window arrives as WM_COMMAND to the
// floating window: menu items, skin buttons, ToNextFace, the teardown and the
// task-complete command. Runs on the window's thread.
#pragma once

#include <windows.h>

void DispatchCommand(HWND window, WPARAM wParam, LPARAM lParam);

// 1 if some slot holds a task that is not Idle.
int AnyTaskActive();

// Saves the position (Auto Save), asks while tasks are active, then pauses and
// releases every task, stops the timers and hides the window.
void QuitCommand(HWND window);
