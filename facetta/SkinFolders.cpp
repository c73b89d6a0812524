#include "facetta/SkinFolders.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

namespace {

// Case-insensitive, ties broken by exact order.
int CompareFolderNames(const char *a, const char *b)
{
    int order = _stricmp(a, b);
    return order != 0 ? order : strcmp(a, b);
}

bool HasDescription(const char *skinsFolder, const char *name)
{
    char path[MAX_PATH];
    if (snprintf(path, sizeof(path), "%s%s\\skin.ini", skinsFolder, name) >= static_cast<int>(sizeof(path)))
        return false;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The smallest skin folder name after `after` ("" for the first); false when
// there is none.
bool NextSkinFolder(const char *skinsFolder, const char *after, char *name, int nameSize)
{
    char pattern[MAX_PATH];
    if (snprintf(pattern, sizeof(pattern), "%s*", skinsFolder) >= static_cast<int>(sizeof(pattern)))
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    bool any = false;
    do {
        const char *candidate = found.cFileName;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || strcmp(candidate, ".") == 0 ||
            strcmp(candidate, "..") == 0 || static_cast<int>(strlen(candidate)) >= nameSize)
            continue;
        if ((*after && CompareFolderNames(candidate, after) <= 0) || (any && CompareFolderNames(candidate, name) >= 0))
            continue;
        if (!HasDescription(skinsFolder, candidate))
            continue;
        strcpy(name, candidate);
        any = true;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return any;
}

}  // namespace

// Selection by repeated minimum: no list to allocate, and skins folders hold
// a handful of entries.
bool NthSkinFolder(const char *skinsFolder, int n, char *name, int nameSize)
{
    if (n < 1 || nameSize < 1)
        return false;
    char previous[MAX_PATH] = "";
    for (int i = 0; i < n; ++i) {
        if (!NextSkinFolder(skinsFolder, previous, name, nameSize < MAX_PATH ? nameSize : MAX_PATH))
            return false;
        strcpy(previous, name);
    }
    return true;
}

bool SkinFolderExists(const char *skinsFolder, const char *name)
{
    return *name && !strpbrk(name, "\\/:") && strcmp(name, ".") != 0 && strcmp(name, "..") != 0 &&
           HasDescription(skinsFolder, name);
}
