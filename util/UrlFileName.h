#pragma once

#include <stddef.h>

// The file name a URL saves under: its last path element without query or
// fragment, percent-decoded, with characters Windows forbids in a file name
// (and control characters) replaced by "_"; "index.html" when that is empty.
// False when the name does not fit into outSize.
bool FileNameFromUrl(const char *url, char *out, size_t outSize);

// True for characters that may not appear in a Windows file name.
bool IsForbiddenNameCharacter(unsigned char c);
