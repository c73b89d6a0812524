// The Setting dialog's speed cap field: KiB/s, a whole number, empty (or 0)
// for no cap.
#pragma once

#include <windows.h>

// The field's text for a cap in bytes per second: "" for none, else the KiB
// rounded to the nearest, at least 1. out holds at least 16 characters.
void SpeedCapFieldText(ULONGLONG bytesPerSecond, char *out);

// The cap the field's text asks for, in bytes per second (0: none), up to
// what the settings file holds (2 GiB/s less a byte). Spaces around the
// number are allowed. False when the text is no such number.
bool ParseSpeedCapField(const char *text, ULONGLONG *bytesPerSecond);
