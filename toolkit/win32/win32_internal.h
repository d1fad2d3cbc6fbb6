// What the Win32 backend's files share.
#pragma once

#include "toolkit/backend.h"

#include <windows.h>

// The program icon (resource 1), on every window; null when the program carries none.
HICON win32_program_icon();

// An embedded web browser for the control request, or null where none can be hosted.
HWND win32_webview_create(HWND parent, const ControlRequest& request, HINSTANCE instance);
// Unloads the browser host once every window is gone.
void win32_webview_shutdown();
