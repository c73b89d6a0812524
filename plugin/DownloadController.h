// The object the host holds between CreateDownload and ReleaseDownload. Its
// window part (handle, drag, dock style) is the floating window's own.
#pragma once

#include <windows.h>

#include "Ravlix.h"
#include "ui/FloatingWindowState.h"

class DownloadController : public FloatingWindowState {
public:
    DownloadController();
    virtual ~DownloadController();
    DownloadController(const DownloadController &) = delete;
    DownloadController &operator=(const DownloadController &) = delete;

    HINSTANCE moduleHandle;             // the plug-in's own module
    ProgressCallback progressCallback;  // copied into every task
    LONG callbackContext;               // InitDownload's third argument; kept, never passed on
    HANDLE initEvent;                   // auto-reset, never waited on: InitDownload fails when it cannot be made
    LONG initialized;                   // 1 once the first InitDownload created the window
};
