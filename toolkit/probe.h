// Test hooks into a window backend: what a user would see and do, without naming a platform type.
// Windows and controls are given by their native handles (window_native_handle,
// toolkit_control_native).
#pragma once

#include "toolkit/toolkit.h"

#include <cstdint>

// Prepares the backend for tests before toolkit_init (an offscreen display where it has one).
void probe_start();

struct ProbeRect {
    int32_t x, y, width, height;
};

// A window's outer frame and client area in screen coordinates; for a control, its rectangle
// in its window's client area (both the same).  False for a null handle.
bool probe_geometry(NativeHandle widget, ProbeRect* frame, ProbeRect* client);
bool probe_visible(NativeHandle widget);
bool probe_enabled(NativeHandle widget);

constexpr uint32_t PROBE_TITLE = 1, PROBE_CLOSE_BOX = 2, PROBE_MINIMIZE_BOX = 4,
                   PROBE_MAXIMIZE_BOX = 8, PROBE_FIXED_SIZE = 16;
// The PROBE_ bits that describe a window.
uint32_t probe_window_traits(NativeHandle window);

// Posts what the window system sends when the user asks to close the window; event_wait
// then dispatches it.
void probe_post_close_request(NativeHandle window);
// Posts a press and release of Space on a button, as a user's click.
void probe_post_key_click(NativeHandle button);
// Posts a user's choice of entry position in a list.
void probe_post_choose(NativeHandle list, int32_t position);
// Processes whatever is pending without waiting (outside event_wait).
void probe_process_pending();
// Posts an event that concerns no toolkit object, so that a waiting event_wait returns.
void probe_post_wakeup();

// Activates the window and gives the control the keyboard focus.
void probe_focus(NativeHandle control);
// Sends Tab (or Shift+Tab) to the window's focused control and returns the toolkit id of the
// control that has the focus afterwards (0 when none has).
int32_t probe_tab(NativeHandle window, bool backward);

// The control of the window that has the keyboard focus (its toolkit id; 0 when none has).
int32_t probe_focused(NativeHandle window);
// The name a screen reader is told for a window or control.
const char* probe_accessible_name(NativeHandle widget);

// Opens a list as a click would, reports the height of its opened part and whether that
// shows a scroll bar, and closes it again.
void probe_open_list(NativeHandle list, int32_t* popup_height, bool* scroll_bar_shown);
// The text of entry position in a list, empty when there is none.
const char* probe_list_item(NativeHandle list, int32_t position);
const char* probe_text(NativeHandle widget);
// The size of the pixmap a picture shows (0 x 0 when none).
bool probe_picture_pixmap(NativeHandle picture, int32_t* width, int32_t* height);
// The colour a native image holds at (x, y), as 0xAARRGGBB.
uint32_t probe_image_pixel(NativeHandle image, int32_t x, int32_t y);
// The colour a window's background is painted in at client point (x, y), and the colour the
// desktop gives dialog faces, both as 0xFFRRGGBB.
uint32_t probe_background_pixel(NativeHandle window, int32_t x, int32_t y);
uint32_t probe_face_colour();
