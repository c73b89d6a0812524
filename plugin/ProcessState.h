// Process-wide state of the plug-in (besides the task slot table). Touched
// only on the host's user-interface thread, except pluginInstance, which the
// entry point writes at process attach.
#pragma once

#include <windows.h>

struct SkinEngine;

struct ProcessState {
    HINSTANCE pluginInstance;  // Ravlix.dll itself
    LONG restoredFlag;         // 1 once the unfinished tasks were restored and the window shown
    SkinEngine *skinEngine;    // lives from the first InitDownload to ReleaseDownload
    HMODULE resourceModule;    // strings, menu, dialogs and bitmap come from here
    LONG displayedTask;        // 1..3: the task whose sizes the window shows
    LONG rotationCursor;       // 1..3: the task number the rotation shows next
    LONG rotationDirection;    // 1 while the rotation counts up, 0 while it counts down
    LONG confirmMode;          // 1 while the confirmation opens for Delete All, 0 for Quit
};

extern ProcessState gProcess;
