// Reading the few values the transfer needs from a response header.
#pragma once

#include <windows.h>

// The Content-Length; 0 when missing, not a number, negative, or 2^63 - 1 or
// more (a saturated number cannot be told from a larger one).
ULONGLONG ParseContentLength(const char *header);

// The digit after "HTTP/1.": 1 for HTTP/1.1; 0 for HTTP/1.0 or when absent.
int ParseMinorVersion(const char *header);

// "ETag: <value>" if present, else "Last-Modified: <value>", else "". Says
// whether the file behind a URL is still the one stored offsets describe.
void ParseValidator(const char *header, char *out, int outSize);
