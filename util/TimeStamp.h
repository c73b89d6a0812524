#pragma once

#include <windows.h>

// "year-mm-dd hh:mm" of time; out holds at least 32 characters.
void FormatTimeStamp(const SYSTEMTIME &time, char *out);

// The current local time as FormatTimeStamp writes it. Returns 1, the
// documented result, which no caller reads.
int LocalTimeStamp(char *out);
