#include "util/PathText.h"

#include <string.h>
#include <windows.h>

#include "util/AnsiCharacters.h"

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
    // The first character is never examined: without a later backslash it
    // stays.
    char *cut = NextAnsiCharacter(path);
    for (char *p = cut; *p; p = NextAnsiCharacter(p)) {
        if (*p == '\\')
            cut = p + 1;
    }
    if (cut - path < bufferSize)
        *cut = '\0';
}

int LastComponent(char *text)
{
    // The first character is never examined.
    char *separator = nullptr;
    for (char *p = NextAnsiCharacter(text); *p; p = NextAnsiCharacter(p)) {
        if (IsPathSeparator(*p))
            separator = p;
    }
    if (!separator)
        return 0;
    memmove(text, separator + 1, strlen(separator + 1) + 1);  // the terminator moves along
    return 1;
}

int FolderPart(char *text)
{
    if (text[0] == '\0')
        return 0;
    char *cut = text;  // with no separator the text becomes empty
    for (char *p = text; *p; p = NextAnsiCharacter(p)) {
        if (IsPathSeparator(*p))
            cut = p + 1;
    }
    *cut = '\0';
    return 1;
}

bool EndsInSeparator(const char *text, size_t length)
{
    return length > 0 && IsPathSeparator(*LastAnsiCharacter(text, length));
}

int EnsureTrailingSlash(char *text, size_t capacity)
{
    size_t length = strlen(text);
    if (length == 0)
        return 0;
    if (EndsInSeparator(text, length))
        return 1;
    if (length + 2 > capacity)
        return 0;
    text[length] = '/';
    text[length + 1] = '\0';
    return 1;
}
