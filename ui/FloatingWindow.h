// The plug-in's only top-level window, class "VexaDownLoad": borderless,
// always on top, drawn by the skin engine. Its user data holds the controller.
#pragma once

#include <windows.h>

class DownloadController;

// Loads the resource module, registers the class, creates the skin engine and
// the window. 0 when the class cannot be registered or the window not created.
int CreateFloatingWindow(DownloadController *controller);

LRESULT CALLBACK FloatingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Destroys the controller's window and unregisters the class, so that a later
// controller in the same process can register it again.
void DestroyFloatingWindow(DownloadController *controller);
