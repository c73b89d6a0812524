#include "util/PathText.h"

#include <string.h>
#include <windows.h>

void HostFolder(char *buffer, int bufferSize)
{
    if (!buffer || bufferSize < 2) {
        if (buffer && bufferSize > 0)
            buffer[0] = '\0';
        return;
    }
    // Before Vista a truncated name is not terminated.
    DWORD length = GetModuleFileNameA(nullptr, buffer, bufferSize);
    if (length >= static_cast<DWORD>(bufferSize))
        length = bufferSize - 1;
    buffer[length] = '\0';
    CutToFolder(buffer, bufferSize);
}

void CutToFolder(char *path, int bufferSize)
{
    // Position 0 is never examined: without a later backslash the first
    // character stays.
    int i = static_cast<int>(strlen(path));
    while (i > 0 && path[i] != '\\')
        --i;
    if (i + 1 < bufferSize)
        path[i + 1] = '\0';
}

int LastComponent(char *text)
{
    size_t length = strlen(text);
    for (size_t i = length; i-- > 1;) {
        if (IsPathSeparator(text[i])) {
            memmove(text, text + i + 1, length - i);  // the terminator moves along
            return 1;
        }
    }
    return 0;
}

int FolderPart(char *text)
{
    if (text[0] == '\0')
        return 0;
    char *cut = text;  // with no separator the text becomes empty
    for (char *p = text; *p; ++p) {
        if (IsPathSeparator(*p))
            cut = p + 1;
    }
    *cut = '\0';
    return 1;
}

int EnsureTrailingSlash(char *text, size_t capacity)
{
    size_t length = strlen(text);
    if (length == 0)
        return 0;
    if (IsPathSeparator(text[length - 1]))
        return 1;
    if (length + 2 > capacity)
        return 0;
    text[length] = '/';
    text[length + 1] = '\0';
    return 1;
}
