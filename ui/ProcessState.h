// Process-wide state of the floating window and what it draws with: one
// window, skin and resource module serve every controller of the process.
// Touched only on the host's user-interface thread, except pluginInstance,
// which the entry point writes at process attach.
#pragma once

#include <windows.h>

struct SkinEngine;

struct ProcessState {
    HINSTANCE pluginInstance;  // Ravlix.dll itself
    LONG restoredFlag;         // 1 once the unfinished tasks were restored and the window shown; Quit clears it
    SkinEngine *skinEngine;    // lives from the first InitDownload to ReleaseDownload
    HMODULE resourceModule;    // strings, menu, dialogs and bitmap come from here
    LONG displayedTask;        // 1..3: the task whose sizes the window shows
    LONG rotationCursor;       // 1..3: the task number the rotation shows next
    LONG rotationDirection;    // 1 while the rotation counts up, 0 while it counts down
};

extern ProcessState gProcess;
