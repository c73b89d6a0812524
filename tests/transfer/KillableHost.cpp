// A second host process for the tests: admits one download (or restores the
// saved ones), refreshes the resume records on a timer as the floating window
// does, and runs until it is killed.
// Usage: KillableHost URL NAME CONNECTIONS | KillableHost --restore
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "plugin/DownloadAdmission.h"
#include "plugin/DownloadController.h"
#include "transfer/TaskControl.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskRecords.h"
#include "transfer/TaskWindow.h"

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == kCommandTaskComplete) {
        FinalizeTask(static_cast<int>(lParam));
        return 0;
    }
    if (message == WM_TIMER) {
        RefreshResumeRecords();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv)
{
    bool restore = argc == 2 && strcmp(argv[1], "--restore") == 0;
    if (argc < 4 && !restore)
        return 2;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    DownloadController controller;
    controller.window = CreateWindowA(kWindowClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    SetTimer(controller.window, 1, 300, nullptr);
    if (restore)
        printf("restored %d\n", RestoreTasks(nullptr));
    else
        printf("admitted %d\n", AdmitDownload(&controller, argv[1], "", argv[2], atoi(argv[3])));
    fflush(stdout);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}
