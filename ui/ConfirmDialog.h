// Dialog 107 "Download Information": the three tasks' states and a question,
// asked before Delete All and Quit while a task is active.
#pragma once

#include <windows.h>

// The procedure of dialog 107; its parameter is 1 for the Delete All question,
// 0 for Quit's. Ends the dialog with 1 for Ok, 0 for Cancel.
INT_PTR CALLBACK ConfirmDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs dialog 107 modally over owner; deleteAll chooses the question.
// Returns the dialog's result (-1 when it cannot be created).
INT_PTR AskConfirmation(HWND owner, bool deleteAll);
