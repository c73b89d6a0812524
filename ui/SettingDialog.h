// Dialog 106 "Setting": the download folder and the dock style, kept in
// section DOWNLOAD of the settings file.
#pragma once

#include <windows.h>

INT_PTR CALLBACK SettingDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs dialog 106 modally over owner (the floating window, whose position
// OK stores as DOCKLEFT and DOCKTOP).
void RunSettingDialog(HWND owner);

// The shell's folder browser; true with the chosen folder's path in buffer
// (260 characters), false when the user cancels.
bool BrowseDownloadFolder(HWND owner, char *buffer);
