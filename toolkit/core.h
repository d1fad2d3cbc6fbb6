// Internals shared by the core's own files.
#pragma once

#include "toolkit/backend.h"

// The installed window backend, null when there is none.
const WindowBackend* core_backend();
// True when native is the native handle of a live image.
bool image_native_is_live(NativeHandle native);
// Frees every image (the pictures that showed them are gone by then).
void images_free_all();
// Destroys every window and with them every control.
void windows_destroy_all();
