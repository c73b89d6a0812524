#include "util/FolderCheck.h"

#include <string.h>
#include <windows.h>

#include "util/PathText.h"

bool MakeFolderReady(const char *folder)
{
    char bare[MAX_PATH], inPath[MAX_PATH + 1];
    size_t length = strlen(folder);
    if (length == 0 || length >= sizeof(bare))
        return false;
    strcpy(bare, folder);
    strcpy(inPath, folder);
    if (EndsInSeparator(bare, length))
        bare[length - 1] = '\0';
    else
        strcat(inPath, "/");
    if (GetFileAttributesA(bare) == INVALID_FILE_ATTRIBUTES)
        CreateDirectoryA(bare, nullptr);
    // Windows drops the blanks and dots that end a path, not those of an
    // element inside one: "D:\Down " is made as D:\Down, yet "D:\Down /x"
    // looks for "Down ". Asked with the separator, the answer is the one
    // the download's files will get.
    DWORD attributes = GetFileAttributesA(inPath);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
