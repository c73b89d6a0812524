#include "RavlixLibrary.h"

namespace {

template <typename Function>
bool Resolve(HMODULE module, const char *name, Function *function, std::string *error)
{
    *function = reinterpret_cast<Function>(reinterpret_cast<void *>(GetProcAddress(module, name)));
    if (!*function)
        *error = std::string("Ravlix.dll does not export ") + name;
    return *function != nullptr;
}

}  // namespace

std::string ProgramFolder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1);
}

bool RavlixLibrary::Load(std::string *error)
{
    std::string path = ProgramFolder() + "Ravlix.dll";
    // The altered search path finds Facetta.dll and Netquill.dll beside
    // Ravlix.dll, whatever the current directory is.
    module = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) {
        *error = "cannot load " + path + " (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    return Resolve(module, "CreateDownload", &create, error) && Resolve(module, "ReleaseDownload", &release, error) &&
           Resolve(module, "InitDownload", &init, error) && Resolve(module, "StartDownload", &start, error) &&
           Resolve(module, "ToNextFace", &nextFace, error) && Resolve(module, "ChangeSkin", &changeSkin, error) &&
           Resolve(module, "SetSpeedCap", &setSpeedCap, error) &&
           Resolve(module, "SetBackgroundMode", &setBackgroundMode, error);
}
