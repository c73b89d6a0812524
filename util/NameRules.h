// What a file name must be before the plug-in creates a file under it.
//
// Windows changes a name on its way to the disk: it drops trailing dots and
// spaces of every path element (so ".. " climbs a folder like ".."), opens a
// device for CON, NUL, COM1 and the like whatever follows them, and folds
// letter case. A name is safe when what Windows does with it is what the
// text says. The checks run on UTF-16, converted from the ANSI code page, so
// that a double-byte character whose second byte is 0x5C is not cut as if
// it held a backslash.
#pragma once

#include <stddef.h>

// One element of a path: not empty, not "." or "..", no trailing dot or
// space, no character Windows forbids in a name, and no DOS device name.
bool IsSafeNameElement(const wchar_t *element, size_t length);

// A name relative to the download folder: safe elements joined by "/".
bool IsSafeRelativeName(const wchar_t *name);

// A temporary path as composed for a task or read back from a resume record:
// its last element is a safe name followed by ".hhh". The folder before it
// is the user's download folder (or a Save-As choice) as Windows resolves
// it, "..", a drive-relative "D:dir" and the like included, and is not
// checked here, only the names the plug-in composes are; but a path into the
// devices' namespace ("\\.\pipe\", "\\?\") is refused.
bool IsSafeTemporaryPath(const char *path);

// The file name a host's destination name saves under: with a backslash,
// only what follows its last separator; then it must be a safe relative
// name. False to refuse, or when it does not fit into outSize.
bool HostFileName(const char *given, char *out, size_t outSize);

// Makes one element safe in place by replacing with "_": forbidden
// characters, trailing dots and spaces, and the end of a device name's base
// ("CON.txt" becomes "CO_.txt"). An empty or all-dot element becomes
// "index.html". element holds at least capacity characters.
void MakeSafeNameElement(wchar_t *element, size_t capacity);

// The final path: tempPath without its ".hhh". False when tempPath does not
// end in ".hhh" after some name: such a file is nothing this plug-in made,
// and nothing is renamed over the name it would give. finalPath holds
// kTextSize characters.
bool FinalPathOf(const char *tempPath, char *finalPath);
