#include "ui/ResourceModule.h"

#include <stdio.h>

#include "util/PathText.h"

void LanguageLibraryPath(UINT codePage, char *buffer, int bufferSize)
{
    char folder[MAX_PATH];
    HostFolder(folder, sizeof(folder));
    snprintf(buffer, bufferSize, "%sRavlix%d.dll", folder, static_cast<int>(codePage));
}

HMODULE LoadResourceModule(HMODULE fallback)
{
    char path[MAX_PATH];
    LanguageLibraryPath(GetACP(), path, sizeof(path));
    HMODULE library = LoadLibraryA(path);
    return library ? library : fallback;
}
