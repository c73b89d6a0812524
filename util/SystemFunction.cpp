#include "util/SystemFunction.h"

#include <string.h>

FARPROC SystemFunctionAddress(const char *dll, const char *function)
{
    // By its full path, so that a DLL of the same name in the host's folder
    // or the current one is never taken for it.
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length + 1 + strlen(dll) >= MAX_PATH)
        return nullptr;
    path[length] = '\\';
    strcpy(path + length + 1, dll);
    // Once loaded, the module stays: a second load only finds it.
    HMODULE module = GetModuleHandleA(path);
    if (!module)
        module = LoadLibraryA(path);
    return module ? GetProcAddress(module, function) : nullptr;
}
