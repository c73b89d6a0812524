// The functions the host calls. Every one tests the controller for null
// first: ReleaseDownload then does nothing, the others return 0.
#include "Ravlix.h"

#include <new>

#include "components/ComponentAccess.h"
#include "components/SkinEngine.h"
#include "plugin/DownloadAdmission.h"
#include "plugin/DownloadController.h"
#include "res/ResourceIds.h"
#include "store/SpeedSettings.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/SpeedGate.h"
#include "transfer/YieldProbe.h"
#include "ui/Docking.h"
#include "ui/FloatingWindow.h"
#include "ui/ProcessState.h"
#include "ui/ProgressDisplay.h"
#include "util/HandleClose.h"
#include "util/ProfileUpdate.h"

namespace {

// The part of the teardown that runs whether or not a window exists.
void ReleaseSharedResources(DownloadController *controller)
{
    CloseAndClear(controller->initEvent);
    // The next controller starts it again from the settings.
    SetYielding(false);
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

// Quit (which may ask the user), then the window goes, then whatever Quit
// left in the slots (after a cancelled confirmation) is saved and closed.
// The window is destroyed and its class unregistered rather than only sent
// WM_DESTROY, so that a later controller in this process can create its own.
void CloseWindowAndTasks(DownloadController *controller)
{
    if (controller->window)
        SendMessageA(controller->window, WM_COMMAND, IDM_QUIT, 0);
    DestroyFloatingWindow(controller);
    TellDownloadingTasksToStop();
    for (int slot = 0; slot < kSlotCount; ++slot)
        SaveAndCloseTask(slot);
}

// What every InitDownload that finds or creates the window does first.
void PlaceAndShow(DownloadController *controller)
{
    PlaceByDockStyle(controller->window);
    StartDisplay(controller->window);
}

// Starts the recorded unfinished downloads; the window then shows the first
// task.
void RestoreUnfinishedTasks(DownloadController *controller)
{
    if (RestoreTasks(controller->progressCallback) > 0)
        gProcess.displayedTask = 1;
    gProcess.restoredFlag = 1;
}

// One of the speed settings changed: both are kept as the file has them
// with the change (read and written under one lock, so another host's change
// of the other falls before or after, never between), then applied here.
template <typename Change> int ChangeSpeedSettings(Change change)
{
    SpeedSettings settings;
    {
        ProfileUpdateLock lock;
        settings = ReadSpeedSettings();
        change(settings);
        KeepSpeedSettings(settings);
    }
    ApplySpeedSettings(settings);
    return 1;
}

}  // namespace

extern "C" {

DownloadController *__cdecl CreateDownload(void)
{
    DownloadController *controller = new (std::nothrow) DownloadController();
    if (!controller)
        return nullptr;
    ClearSlotTable();
    // Before any download starts, InitDownload or not.
    ApplySpeedSettings(ReadSpeedSettings());
    return controller;
}

void __cdecl ReleaseDownload(DownloadController *controller)
{
    if (!controller)
        return;
    CloseWindowAndTasks(controller);
    ReleaseSharedResources(controller);
    delete controller;
}

int __cdecl InitDownload(DownloadController *controller, ProgressCallback callback, int context)
{
    if (!controller)
        return 0;
    if (controller->window) {
        PlaceAndShow(controller);
        if (!gProcess.restoredFlag)
            RestoreUnfinishedTasks(controller);
        return 0;
    }
    if (controller->initialized)
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
    if (!CreateFloatingWindow(controller, controller->moduleHandle))
        return 0;
    controller->initialized = 1;
    PlaceAndShow(controller);
    RestoreUnfinishedTasks(controller);
    return 1;
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
    PostMessageA(controller->window, WM_COMMAND, CommandNextFace, 0);
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

int __cdecl SetSpeedCap(DownloadController *controller, int bytesPerSecond)
{
    if (!controller || bytesPerSecond < 0)
        return 0;
    return ChangeSpeedSettings([=](SpeedSettings &settings) { settings.cap = static_cast<ULONGLONG>(bytesPerSecond); });
}

int __cdecl SetBackgroundMode(DownloadController *controller, int on)
{
    if (!controller || (on != 0 && on != 1))
        return 0;
    return ChangeSpeedSettings([=](SpeedSettings &settings) { settings.background = on == 1; });
}

}  // extern "C"
