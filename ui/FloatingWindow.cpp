#include "ui/FloatingWindow.h"

#include "components/ComponentAccess.h"
#include "components/SkinEngine.h"
#include "components/SkinQuery.h"
#include "transfer/TaskWindow.h"
#include "ui/CommandDispatch.h"
#include "ui/ContextMenu.h"
#include "ui/Docking.h"
#include "ui/FloatingWindowState.h"
#include "ui/ProcessState.h"
#include "ui/ProgressDisplay.h"
#include "ui/ResourceModule.h"
#include "ui/TaskTooltip.h"

namespace {

const DWORD kWindowStyle = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
const DWORD kWindowExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
// CS_OWNDC: the engine sets the face's text colour in the window's context,
// and the size texts are drawn with that same context.
const UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;

void OnLeftButtonDown(HWND window, LPARAM point)
{
    if (FloatingWindowState *state = WindowStateOf(window))
        BeginDrag(state, point);
}

void OnMouseMove(HWND window)
{
    if (FloatingWindowState *state = WindowStateOf(window))
        FollowDrag(state);
}

void OnLeftButtonUp(HWND window)
{
    if (FloatingWindowState *state = WindowStateOf(window))
        EndDrag(state);
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

int CreateFloatingWindow(FloatingWindowState *state, HINSTANCE pluginModule)
{
    state->hostInstance = GetModuleHandleA(nullptr);
    if (!gProcess.resourceModule)
        gProcess.resourceModule = LoadResourceModule(pluginModule);
    if (!RegisterWindowClass(state->hostInstance))
        return 0;
    if (!gProcess.skinEngine)
        CreateSkinEngine();
    HWND window = CreateWindowExA(kWindowExStyle, kWindowClass, "", kWindowStyle, 40, 20, 70, 70, nullptr, nullptr,
                                  state->hostInstance, nullptr);
    if (!window) {
        UnregisterClassA(kWindowClass, state->hostInstance);
        return 0;
    }
    state->window = window;
    state->tooltip = CreateTaskTooltip(window);
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
    return 1;
}

void DestroyFloatingWindow(FloatingWindowState *state)
{
    if (!state->window)
        return;
    SetWindowLongPtrA(state->window, GWLP_USERDATA, 0);
    // The tooltip, owned by the window, goes with it.
    DestroyWindow(state->window);
    state->window = nullptr;
    state->tooltip = nullptr;
    UnregisterClassA(kWindowClass, state->hostInstance);
}

LRESULT CALLBACK FloatingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY: StopDisplay(window); break;
    case WM_COMMAND: DispatchCommand(window, wParam, lParam); break;
    case WM_TIMER:
        if (FloatingWindowState *state = WindowStateOf(window))
            UpdateTaskTooltip(state->tooltip, window);
        return DrawSizes(window);
    case WM_LBUTTONDOWN: OnLeftButtonDown(window, lParam); break;
    case WM_MOUSEMOVE: OnMouseMove(window); break;
    case WM_LBUTTONUP: OnLeftButtonUp(window); break;
    case WM_RBUTTONDOWN: ShowContextMenu(window, lParam); break;
    case WM_NOTIFY: TaskTooltipNotified(reinterpret_cast<const NMHDR *>(lParam)); break;
    }
    SkinEngine *engine = gProcess.skinEngine;
    if (!engine)
        return DefWindowProcA(window, message, wParam, lParam);
    return engine->operations->HandleMessage(engine, window, message, wParam, lParam);
}
