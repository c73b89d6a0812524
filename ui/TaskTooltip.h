// The floating window's tooltip: what the skin has no room for, for the
// displayed task. Its file name, how much is in, the speed and the time
// left while it runs, and why it stopped when it stopped on an error. The
// common controls' tooltip, so the skin and its art stay as they are.
#pragma once

#include <windows.h>
#include <commctrl.h>

// Makes the tooltip for the window (owned by it, so it goes with it); null
// when the common controls cannot be had, and the window simply has none.
HWND CreateTaskTooltip(HWND window);

// The repaint tick: samples every running task's progress and sets the
// tooltip's text for the displayed task when it changed.
void UpdateTaskTooltip(HWND tooltip, HWND window);

// The text for the slot's task ("" for none), as the tooltip shows it; and,
// where the settings file is kept in the user's own folder, a line that
// says where, until the tooltip has been shown with it.
void TaskTooltipText(int slot, char *out, int outSize);

// A notification the tooltip sent the window.
void TaskTooltipNotified(const NMHDR *header);
