#pragma once

#include <windows.h>

// String ids of the resource string table.
enum ResourceStringId {
    StringDockLeftTop = 1,
    StringTask1 = 6,
    StringConfirmPause = 9,
    StringConfirmDelete = 10,
    StringNoTask = 11,
    StringDownloading = 12,
    StringPaused = 13,
    StringFileNameColumn = 14,
    StringFinished = 18,
    StringTaskFull = 19,
    StringTip = 21,
    StringCannotCreateDir = 22,
    StringOverwrite = 23
};

// The module the resources come from: the language library, else the plug-in.
HMODULE ResourceModule();

// Loads string id from the resource module into a buffer of bufferSize
// characters; "" if missing.
void LoadResourceText(int id, char *buffer, int bufferSize);
