// Functions of Windows system DLLs that only some runs need: the Save-As and
// folder dialogs, the history's list view, TLS. Importing them would load
// those DLLs, and the DLLs they bring in, with the plug-in: under Wine about
// 70 ms of every host's start. They are loaded from the system folder on
// first use instead, and stay loaded for the life of the process.
#pragma once

#include <windows.h>

// The address of function in the system DLL named dll; null when either is
// missing. Safe from any thread, but not from DllMain.
FARPROC SystemFunctionAddress(const char *dll, const char *function);

// The same, as a pointer of the function's own type:
//   auto browse = SystemFunction<decltype(&SHBrowseForFolderA)>("shell32.dll", "SHBrowseForFolderA");
template <typename Function>
Function SystemFunction(const char *dll, const char *function)
{
    // Through a plain function pointer type, which any function type casts to.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(SystemFunctionAddress(dll, function)));
}
