#include <windows.h>

#include "ui/ProcessState.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        gProcess.pluginInstance = instance;
    return TRUE;
}
