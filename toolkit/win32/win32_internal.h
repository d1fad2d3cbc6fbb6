// What the Win32 backend's files share.
#pragma once

#include "toolkit/backend.h"

#include <windows.h>

// Registers a window class of the program's: double clicks reported, the program icon (resource
// 1, when the program carries one), the arrow cursor and the given background.
bool win32_register_class(const char* name, WNDPROC procedure, HBRUSH background);

// A control of the system's class `cls` for the request, with window text `text`, its toolkit
// id as control identifier, and the default GUI font; null on failure.
HWND win32_make_child(HWND parent, const ControlRequest& request, const char* cls, const char* text,
                      DWORD style, DWORD ex_style, int height);

// An embedded web browser for the control request, or null where none can be hosted.
HWND win32_webview_create(HWND parent, const ControlRequest& request);
// Unloads the browser host once every window is gone.
void win32_webview_shutdown();

// Makes a screen reader name the list by the caption's text.
void win32_name_by_caption(HWND list, HWND caption);
