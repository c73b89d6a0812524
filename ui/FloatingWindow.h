// The plug-in's only top-level window, class "VexaDownLoad": borderless,
// always on top, drawn by the skin engine. Its user data holds its
// FloatingWindowState.
#pragma once

#include <windows.h>

struct FloatingWindowState;

// Loads the resource module (pluginModule's satellite, or pluginModule
// itself), registers the class, creates the skin engine and the window into
// state. 0 when the class cannot be registered or the window not created.
int CreateFloatingWindow(FloatingWindowState *state, HINSTANCE pluginModule);

LRESULT CALLBACK FloatingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Destroys the window and unregisters the class, so that a later controller
// in the same process can register it again.
void DestroyFloatingWindow(FloatingWindowState *state);
