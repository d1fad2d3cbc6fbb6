// What the Win32 backend's files share.
#pragma once

#include "toolkit/backend.h"

#include <windows.h>

// Registers a window class of the program's: double clicks reported, the program icon (resource
// 1, when the program carries one), the arrow cursor and the given background.
bool win32_register_class(const char* name, WNDPROC procedure, HBRUSH background);

// An embedded web browser for the control request, or null where none can be hosted.
HWND win32_webview_create(HWND parent, const ControlRequest& request, HINSTANCE instance);
// Unloads the browser host once every window is gone.
void win32_webview_shutdown();
