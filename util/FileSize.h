// The length of a file on the disk.
#pragma once

#include <windows.h>

// The size of a plain file; false when there is none (a folder, or nothing).
bool PlainFileSize(const char *path, ULONGLONG *size);
