// How the transfer reaches the floating window: the task-complete command.
#pragma once

#include <windows.h>

const char kWindowClass[] = "VexaDownLoad";
const WPARAM kCommandTaskComplete = 2000;  // lParam: the task's slot
const WPARAM kCommandDigestVerdict = 2001; // lParam: the slot of a task whose file failed its check

// This process's window of class "VexaDownLoad", or null. Windows of other
// processes are skipped, so that two hosts never finalize each other's tasks.
HWND FindTaskWindow();

// Posts command (one of the two above) for the slot to that window, if any.
void PostToTaskWindow(WPARAM command, int slot);
