// The object the host holds between CreateDownload and ReleaseDownload.
#pragma once

#include <windows.h>

#include "Ravlix.h"

class DownloadController {
public:
    DownloadController();
    virtual ~DownloadController();
    DownloadController(const DownloadController &) = delete;
    DownloadController &operator=(const DownloadController &) = delete;

    HWND window;                        // the floating window; its user data points back here
    HINSTANCE moduleHandle;             // the plug-in's own module
    ProgressCallback progressCallback;  // copied into every task
    LONG callbackContext;               // InitDownload's third argument; kept, never passed on
    HANDLE initEvent;                   // auto-reset, never waited on: InitDownload fails when it cannot be made
    HINSTANCE hostInstance;             // the host executable; the window class is registered under it
    LONG dragEdge;                      // 0 left, 1 right, 2 top, 3 bottom
    POINT dragCursor;                   // cursor at the start of a drag or the last edge change
    RECT dragRect;                      // window rectangle at the same moments
    LONG dragging;                      // 1 while the left button drags the window
    LONG dockStyle;                     // DOCKSTYLE 0..4
    LONG initialized;                   // 1 once the first InitDownload created the window
};
