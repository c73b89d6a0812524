#include "ui/FloatingWindow.h"

#include "components/ComponentAccess.h"
#include "components/SkinEngine.h"
#include "components/SkinQuery.h"
#include "plugin/DownloadController.h"
#include "plugin/ProcessState.h"
#include "transfer/TaskWindow.h"
#include "ui/CommandDispatch.h"
#include "ui/ContextMenu.h"
#include "ui/Docking.h"
#include "ui/ProgressDisplay.h"
#include "ui/ResourceModule.h"

namespace {

const DWORD kWindowStyle = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
const DWORD kWindowExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
// CS_OWNDC: the engine sets the face's text colour in the window's context,
// and the size texts are drawn with that same context.
const UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;

DownloadController *ControllerOf(HWND window)
{
    return reinterpret_cast<DownloadController *>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

void OnLeftButtonDown(HWND window, LPARAM point)
{
    if (DownloadController *controller = ControllerOf(window))
        BeginDrag(controller, point);
}

void OnMouseMove(HWND window)
{
    if (DownloadController *controller = ControllerOf(window))
        FollowDrag(controller);
}

void OnLeftButtonUp(HWND window)
{
    if (DownloadController *controller = ControllerOf(window))
        EndDrag(controller);
}

bool RegisterWindowClass(HINSTANCE instance)
{
    WNDCLASSA windowClass = {};
    windowClass.style = kClassStyle;
    windowClass.lpfnWndProc = FloatingWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

void CreateSkinEngine()
{
    SkinEngine *engine = static_cast<SkinEngine *>(CreateComponent(SkinLibraryDescriptor()));
    if (engine)
        engine->operations->Init(engine, PluginSkinQuery());
    gProcess.skinEngine = engine;
}

}  // namespace

int CreateFloatingWindow(DownloadController *controller)
{
    controller->hostInstance = GetModuleHandleA(nullptr);
    if (!gProcess.resourceModule)
        gProcess.resourceModule = LoadResourceModule(controller->moduleHandle);
    if (!RegisterWindowClass(controller->hostInstance))
        return 0;
    if (!gProcess.skinEngine)
        CreateSkinEngine();
    HWND window = CreateWindowExA(kWindowExStyle, kWindowClass, "", kWindowStyle, 40, 20, 70, 70, nullptr, nullptr,
                                  controller->hostInstance, nullptr);
    if (!window) {
        UnregisterClassA(kWindowClass, controller->hostInstance);
        return 0;
    }
    controller->window = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(controller));
    return 1;
}

void DestroyFloatingWindow(DownloadController *controller)
{
    if (!controller->window)
        return;
    SetWindowLongPtrA(controller->window, GWLP_USERDATA, 0);
    DestroyWindow(controller->window);
    controller->window = nullptr;
    UnregisterClassA(kWindowClass, controller->hostInstance);
}

LRESULT CALLBACK FloatingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY: StopDisplay(window); break;
    case WM_COMMAND: DispatchCommand(window, wParam, lParam); break;
    case WM_TIMER: return DrawSizes(window);
    case WM_LBUTTONDOWN: OnLeftButtonDown(window, lParam); break;
    case WM_MOUSEMOVE: OnMouseMove(window); break;
    case WM_LBUTTONUP: OnLeftButtonUp(window); break;
    case WM_RBUTTONDOWN: ShowContextMenu(window, lParam); break;
    }
    SkinEngine *engine = gProcess.skinEngine;
    if (!engine)
        return DefWindowProcA(window, message, wParam, lParam);
    return engine->operations->HandleMessage(engine, window, message, wParam, lParam);
}
