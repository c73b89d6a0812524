// Reading the few values the transfer needs from a response header.
#pragma once

#include <windows.h>

// The Content-Length field, the one the HTTP component frames the body by: a
// line whose name is exactly Content-Length in any letter case. 0 when it is
// missing, not a number, 0, 2^63 - 1 or more (a saturated number cannot be
// told from a larger one), or when two such lines disagree.
ULONGLONG ParseContentLength(const char *header);

// The digit after "HTTP/1.": 1 for HTTP/1.1; 0 for HTTP/1.0 or when absent.
int ParseMinorVersion(const char *header);

// "ETag: <value>" for a strong ETag, else "Last-Modified: <value>", else
// "ETag: <value>" for a weak ETag, else "". Says whether the file behind a
// URL is still the one stored offsets describe, and goes out as If-Range,
// which servers heed only for a strong value.
void ParseValidator(const char *header, char *out, int outSize);
