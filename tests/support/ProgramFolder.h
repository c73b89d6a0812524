// Where a test finds what the build put beside it (the host, the DLLs, the
// skins, the history file).
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// The folder of module (the test program itself when null), with its
// trailing backslash.
inline std::string ProgramFolder(HMODULE module = nullptr)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, path, sizeof(path));
    std::string folder(path, length < sizeof(path) ? length : 0);
    return folder.substr(0, folder.rfind('\\') + 1);
}

}  // namespace testing_support
