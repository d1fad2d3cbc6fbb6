// The hooks a platform backend fills in for the portable core.
//
// The core keeps every table (numbers, parents, the event queue, images, sounds) and calls a
// backend only to make, change or free native objects and to wait for native events.  A
// backend reports what the user did through toolkit_post_event and nothing else.  No platform
// type appears here: native objects travel as NativeHandle.
#pragma once

#include "toolkit/toolkit.h"

#include <cstddef>
#include <cstdint>

// Windows, controls and events ------------------------------------------------------------------

enum class ControlKind { Label, Dropdown, Button, Picture, WebView };

struct ControlRequest {
    ControlKind kind;
    int32_t id; // the number or handle events of this control carry
    int32_t x, y, width, height;
    const char* text;   // label text, button caption, browser address; may be null
    uint32_t flags;     // label flags or picture extended style
    NativeHandle image; // picture only: a handle from image_create, or 0
    // List only: the label that names it (the one made just before it in the same window),
    // for screen readers; 0 when none.
    NativeHandle caption = 0;
};

// Pixels decoded from an image file: rows top to bottom, tightly packed, 3 bytes per pixel
// (R, G, B) or 4 with alpha (R, G, B, A, not premultiplied).
struct DecodedImage {
    int32_t width = 0;
    int32_t height = 0;
    bool alpha = false;
    const uint8_t* pixels = nullptr;
};

struct WindowBackend {
    // A shown top-level window of client size width x height whose outer top-left corner is at
    // (x, y); its close requests are posted as EVENT_CLOSE_WINDOW from window id.  0 on failure.
    NativeHandle (*window_create)(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                                  const char* title, uint32_t flags);
    // Destroys the window with every control still in it.
    void (*window_destroy)(NativeHandle window);
    NativeHandle (*control_create)(NativeHandle parent, const ControlRequest& request);
    void (*control_destroy)(NativeHandle control);
    // Lists only.  position -1 appends; the result is 1 when the item was added.
    int32_t (*list_add_item)(NativeHandle control, int32_t position, const char* text);
    // Selects an entry (-1 clears the selection) without reporting a change; 1 when done.
    int32_t (*list_select)(NativeHandle control, int32_t position);
    // The selected position, -1 when nothing is selected.
    int32_t (*list_selected)(NativeHandle control);
    void (*control_set_disabled)(NativeHandle control, bool disabled);
    // Native images made from decoded pixels (the pixels may be freed afterwards).
    NativeHandle (*image_create)(const DecodedImage& image);
    void (*image_destroy)(NativeHandle image);
    // Blocks until at least one native event arrives and dispatches what is pending; returns a
    // code for what was dispatched that is never one of the toolkit's own event codes.
    int32_t (*wait_and_dispatch)();
    // Blocks the thread without handling any event.
    void (*sleep_ms)(int32_t milliseconds);
    // Paints the window now.
    void (*repaint_now)(NativeHandle window);
    // Releases what the backend brought up for itself, once every window is gone and before
    // the images are freed; may be null.
    void (*shutdown)();
    // The control of the window that has the keyboard focus, or that gets it back when the
    // window is next activated; 0 when none.  May be null (the core then moves no focus).
    NativeHandle (*focused_control)(NativeHandle window);
    // Gives the control the keyboard focus (at once when its window is active, otherwise when
    // the window is next activated).
    void (*focus_control)(NativeHandle control);
};

// Installs the backend (toolkit_init of a backend calls this).  Null leaves the core without
// windows: every create fails and event_wait returns 0 at once.
void toolkit_core_start(const WindowBackend* backend);

enum class EventSource { Window, Control };
// How an event reaches event_wait: Immediate events are the result of the event_wait call
// that dispatched them; Queued events wait in the queue for a later call.  An immediate event
// that arises outside event_wait, or while another is already pending, is queued.
enum class EventDelivery { Immediate, Queued };
void toolkit_post_event(int32_t code, EventSource kind, int32_t source, EventDelivery delivery);

// The native object behind a control, 0 if none (for backend test hooks).
NativeHandle toolkit_control_native(int32_t control);

// Where a test drives a whole program: while installed, event_wait and sleep_ms call these
// instead, and they reach the real operations through the two functions below.  Null removes
// them.
struct ToolkitSeams {
    int32_t (*event_wait)();
    void (*sleep_ms)(int32_t milliseconds);
};
void toolkit_install_seams(const ToolkitSeams* seams);
int32_t toolkit_event_wait_itself();
void toolkit_sleep_itself(int32_t milliseconds);

// Sound ------------------------------------------------------------------------------------------

// The PCM layout of a sound, checked by the core before any driver sees it.
struct PcmFormat {
    int32_t channels;        // 1 or 2
    int32_t bits;            // 8 (unsigned) or 16 (signed little-endian)
    int32_t rate;            // frames per second
    int32_t bytes_per_frame; // channels * bits / 8
};

struct AudioDriver {
    // Opens the default output device; false when there is none.
    bool (*open)();
    // A buffer holding a copy of size bytes of PCM data; 0 on failure.
    NativeHandle (*buffer_create)(const PcmFormat& format, const void* data, size_t size);
    // Stops, rewinds and starts the buffer (looping or once).  volume -1 leaves the level
    // as it is (full for a new buffer), otherwise hundredths of a decibel from -10000 to 0.
    bool (*play)(NativeHandle buffer, bool loop, int32_t volume);
    // Stops at once and frees the buffer.
    void (*buffer_release)(NativeHandle buffer);
    void (*close)();
    // True while the buffer plays (false once a single play has reached its end).
    bool (*playing)(NativeHandle buffer);
};

// The sound service over a driver: the sound_init of each driver library calls this.  Null
// gives a service without a device (every load fails).  Non-zero when the device is ready.
int32_t sound_service_start(const AudioDriver* driver);

// Limits of the sound service, whatever the driver.
constexpr size_t SOUND_MIN_BUFFER_BYTES = 4;
constexpr size_t SOUND_MAX_BUFFER_BYTES = 0x0FFFFFFF;
