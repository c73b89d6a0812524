// Downloads one file through the plug-in's transfer engine, as a host would
// see it: admission, probe, segments or single stream, finalize and rename.
// Usage: PluginBench URL CONNECTIONS FOLDER NAME
// Prints the seconds; exits with 0 once the file is in place.
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "plugin/DownloadAdmission.h"
#include "plugin/DownloadController.h"
#include "transfer/TaskFinish.h"
#include "transfer/TaskSlotTable.h"
#include "transfer/TaskWindow.h"

namespace {

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND && LOWORD(wParam) == kCommandTaskComplete) {
        FinalizeTask(static_cast<int>(lParam));
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: PluginBench URL CONNECTIONS FOLDER NAME\n");
        return 2;
    }
    WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", argv[3], "KELMORA.ini");
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass);
    DownloadController controller;
    controller.window = CreateWindowA(kWindowClass, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                      GetModuleHandleA(nullptr), nullptr);
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    int code = AdmitDownload(&controller, argv[1], "", argv[4], atoi(argv[2]));
    if (code != 1) {
        fprintf(stderr, "StartDownload refused: %d\n", code);
        return 1;
    }
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    QueryPerformanceCounter(&end);
    printf("%.2f s\n", double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart));
    WritePrivateProfileStringA("DOWNLOAD", "DESTNPATH", nullptr, "KELMORA.ini");
    return 0;
}
