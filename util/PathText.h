// Path cutters on ANSI texts in caller-owned buffers. Separators are "\" and
// "/" (HostFolder alone knows only "\"). Texts are walked by characters of
// the process's ANSI code page, so the second byte of a double-byte
// character is never taken for a separator; "position" counts characters.
#pragma once

#include <stddef.h>

// The host executable's folder with its trailing backslash, e.g. E:\Player\.
void HostFolder(char *buffer, int bufferSize);

// HostFolder's cut of a module path: ends it after its last backslash.
void CutToFolder(char *path, int bufferSize);

// Replaces text by what follows its last separator at position 1 or later;
// 1 if one was found, else 0 and the text is unchanged.
int LastComponent(char *text);

// Cuts text after its last separator (any position), or to "" without one.
// 0 for an empty text, else 1.
int FolderPart(char *text);

// Whether the first length bytes of text end in a separator character.
bool EndsInSeparator(const char *text, size_t length);

// Appends "/" unless text ends in a separator. 0 for an empty text, and 0 when
// the slash does not fit into capacity bytes; 1 otherwise.
int EnsureTrailingSlash(char *text, size_t capacity);

inline bool IsPathSeparator(char c)
{
    return c == '\\' || c == '/';
}
