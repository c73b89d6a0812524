// Dialog 108 "History Information": the recorded downloads followed by the
// live tasks in a four-column list that sorts by the clicked column.
#pragma once

#include <windows.h>

INT_PTR CALLBACK HistoryDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs dialog 108 modally over owner.
void RunHistoryDialog(HWND owner);

// Columns and the history file's rows; instance is the resource module.
int FillHistoryList(HMODULE instance, HWND list);

// One row per live task, in slot order.
int AddTaskRows(HWND list);

// Sorts on a column click; returns 1, the documented result, which the
// dialog procedure does not pass on.
int SortHistoryList(HWND dialog, const NMHDR *notification);

// The sort's comparison of rows p1 and p2 (item parameters) in the column
// that context names.
int CALLBACK CompareHistoryRows(LPARAM p1, LPARAM p2, LPARAM context);
