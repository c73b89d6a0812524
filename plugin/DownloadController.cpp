#include "plugin/DownloadController.h"

#include "ui/ProcessState.h"

DownloadController::DownloadController()
    : FloatingWindowState{nullptr, nullptr, 0, {0, 0}, {0, 0, 0, 0}, 0, 0, nullptr, {0, 0, 0, 0}}, moduleHandle(gProcess.pluginInstance),
      progressCallback(nullptr), callbackContext(0), initEvent(nullptr), initialized(0)
{
}

DownloadController::~DownloadController() = default;
