// Ravlix.dll loaded from the host's own folder, with its exports.
#pragma once

#include <windows.h>

#include <string>

#include "Ravlix.h"

struct RavlixLibrary {
    HMODULE module = nullptr;
    decltype(&CreateDownload) create = nullptr;
    decltype(&ReleaseDownload) release = nullptr;
    decltype(&InitDownload) init = nullptr;
    decltype(&StartDownload) start = nullptr;
    decltype(&ToNextFace) nextFace = nullptr;
    decltype(&ChangeSkin) changeSkin = nullptr;
    decltype(&SetSpeedCap) setSpeedCap = nullptr;
    decltype(&SetBackgroundMode) setBackgroundMode = nullptr;

    // False (with the reason in error) when the DLL or an export is missing.
    bool Load(std::string *error);
};

// This program's folder with a trailing backslash.
std::string ProgramFolder();
