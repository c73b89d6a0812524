#include "plugin/DownloadController.h"

#include "plugin/ProcessState.h"

DownloadController::DownloadController()
    : window(nullptr), moduleHandle(gProcess.pluginInstance), progressCallback(nullptr), callbackContext(0),
      initEvent(nullptr), hostInstance(nullptr), dragEdge(0), dragCursor{0, 0}, dragRect{0, 0, 0, 0}, dragging(0),
      dockStyle(0), initialized(0)
{
}

DownloadController::~DownloadController() = default;
