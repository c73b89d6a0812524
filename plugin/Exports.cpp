// The six functions the host calls. Every one tests the controller for null
// first: ReleaseDownload then does nothing, the others return 0.
#include "Ravlix.h"

#include <new>

#include "components/ComponentAccess.h"
#include "components/SkinEngine.h"
#include "plugin/DownloadAdmission.h"
#include "plugin/DownloadController.h"
#include "plugin/ProcessState.h"
#include "transfer/TaskSlotTable.h"

namespace {

const int kCommandNextFace = 50050;

// The part of the teardown that runs whether or not a window exists.
void ReleaseSharedResources(DownloadController *controller)
{
    if (controller->initEvent) {
        CloseHandle(controller->initEvent);
        controller->initEvent = nullptr;
    }
    if (SkinEngine *engine = gProcess.skinEngine) {
        engine->operations->Shutdown(engine);
        ReleaseComponent(SkinLibraryDescriptor(), engine);
        gProcess.skinEngine = nullptr;
    }
    if (gProcess.resourceModule && gProcess.resourceModule != controller->moduleHandle) {
        FreeLibrary(gProcess.resourceModule);
        gProcess.resourceModule = nullptr;
    }
}

}  // namespace

extern "C" {

DownloadController *__cdecl CreateDownload(void)
{
    DownloadController *controller = new (std::nothrow) DownloadController();
    if (!controller)
        return nullptr;
    ClearSlotTable();
    return controller;
}

void __cdecl ReleaseDownload(DownloadController *controller)
{
    if (!controller)
        return;
    ReleaseSharedResources(controller);
    delete controller;
}

int __cdecl InitDownload(DownloadController *controller, ProgressCallback callback, int context)
{
    if (!controller || controller->initialized)
        return 0;
    controller->progressCallback = callback;
    controller->callbackContext = context;
    // A call after a failed window creation made its event already.
    if (controller->initEvent)
        CloseHandle(controller->initEvent);
    controller->initEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!controller->initEvent) {
        controller->progressCallback = nullptr;
        controller->callbackContext = 0;
        return 0;
    }
    return 0;
}

int __cdecl StartDownload(DownloadController *controller, const char *url, const char *proxy,
                          const char *destinationName, int connections)
{
    if (!controller)
        return 0;
    return AdmitDownload(controller, url, proxy, destinationName, connections);
}

int __cdecl ToNextFace(DownloadController *controller)
{
    if (!controller)
        return 0;
    PostMessageA(controller->window, WM_COMMAND, kCommandNextFace, 0);
    return 1;
}

int __cdecl ChangeSkin(DownloadController *controller, int selector)
{
    if (!controller)
        return 0;
    if (SkinEngine *engine = gProcess.skinEngine)
        engine->operations->SelectSkin(engine, selector);
    return 1;
}

}  // extern "C"
