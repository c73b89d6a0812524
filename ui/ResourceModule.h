// The module every string, the menu, the dialogs and the bitmap come from: a
// language library beside the host named after the ANSI code page, else the
// plug-in itself.
#pragma once

#include <windows.h>

// "<host folder>Ravlix<codePage>.dll" into buffer.
void LanguageLibraryPath(UINT codePage, char *buffer, int bufferSize);

// Loads the language library for GetACP(); fallback when there is none.
HMODULE LoadResourceModule(HMODULE fallback);
