#pragma once

#include <stddef.h>

// The file name a URL saves under: its last path element without query or
// fragment, percent-decoded as UTF-8 and converted to the ANSI code page,
// made safe by NameRules (characters the code page cannot hold, characters
// Windows forbids, trailing dots and spaces, device names become "_");
// "index.html" when that is empty. False when the name does not fit into
// outSize.
bool FileNameFromUrl(const char *url, char *out, size_t outSize);
