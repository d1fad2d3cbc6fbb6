// The toolkit: every service the shell and the synthesizer take from the platform.
//
// Objects (windows, controls, images, sounds) are named by signed 32-bit numbers.  A caller
// either picks a static number n >= 0 or passes AUTO_NUMBER to a create operation, which then
// chooses a handle and returns it.  Handles are negative and below -1, so they are never 0,
// never AUTO_NUMBER and never a static number; they are never reused within a process, so a
// stale handle names nothing.  Each kind of object has its own number space.  Creating an
// object under a static number that a live object of the same kind holds destroys the old one
// first.  Any operation given a value that names no live object does nothing and returns 0.
//
// Nothing in this header names a platform type: native handles travel as NativeHandle.
#pragma once

#include <cstddef>
#include <cstdint>

using NativeHandle = intptr_t;

constexpr int32_t AUTO_NUMBER = -1;

// Event codes returned by event_wait.
constexpr int32_t EVENT_CLOSE_WINDOW = 16;
constexpr int32_t EVENT_CONTROL = 13100;
constexpr int32_t EVENT_MENU = 13101;
constexpr int32_t EVENT_ACTIVATE = 13104;
constexpr int32_t EVENT_MINIMIZE = 13107;
constexpr int32_t EVENT_MAXIMIZE = 13108;
constexpr int32_t EVENT_RESTORE = 13109;
constexpr int32_t EVENT_TIMER = 13110;
constexpr int32_t EVENT_MOVE = 3;
constexpr int32_t EVENT_SIZE = 5;
constexpr int32_t EVENT_REPAINT = 15;

// Window flags (the native style bits the shell passes).
constexpr uint32_t WINDOW_CAPTION = 0x00C00000; // title bar
constexpr uint32_t WINDOW_SYSMENU = 0x00080000; // system menu and close box
// Label flags.
constexpr uint32_t LABEL_CENTER = 0x00000001;      // centred text
constexpr uint32_t LABEL_SUNKEN_EDGE = 0x00020000; // sunken border
// Picture extended style.
constexpr uint32_t PICTURE_SUNKEN_EDGE = 0x00000200; // sunken 2-pixel border

// Start-up and end ------------------------------------------------------------------------------

// Brings up windows, controls, images (with the PNG decoder), events, the memory heap and,
// where the deliverable has it, the process-launching service.
void toolkit_init();
// Frees every sound and the sound library, destroys every window (and its controls), frees
// every image, then the memory heap with every block still in it.
void toolkit_shutdown();

// Windows ---------------------------------------------------------------------------------------

// Client area w x h with its outer top-left corner at screen position (x, y); shown at once and
// made the current parent of controls created afterwards.  Returns the handle for AUTO_NUMBER,
// the native handle for a static number, 0 on failure.
intptr_t window_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const char* title, uint32_t flags);
NativeHandle window_native_handle(int32_t window);
// Destroys the window and its controls and drops their queued events.  0 if no such window.
int32_t window_destroy(int32_t window);
// Paints the window given by its native handle at once, without waiting for the event loop.
void window_repaint_now(NativeHandle native_window);

// Controls (created in the current parent window) -----------------------------------------------

intptr_t label_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                      const char* text, uint32_t flags);
// A select-only drop-down list, width x height when closed.
intptr_t dropdown_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height);
intptr_t button_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const char* caption);
// Sizes itself to the image (plus 4 in each direction with PICTURE_SUNKEN_EDGE); width and
// height count only when no image is given.
intptr_t picture_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        NativeHandle native_image, uint32_t ex_style);
// An embedded web browser showing address; 0 where the platform has none to host.
intptr_t webview_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        const char* address);

// 1 when added (position -1 appends); 0 if no such control lives or it has no items.
int32_t control_add_item(int32_t control, int32_t position, const char* text);
// Selects an entry of a list.
int32_t control_set_state(int32_t control, int32_t state);
// A list's selected position, -1 when nothing is selected; 0 if no such control lives.
int32_t control_get_state(int32_t control);
int32_t control_set_disabled(int32_t control, int32_t disabled);

// Events ----------------------------------------------------------------------------------------

// Waits without time-out for the next event and returns its code.
int32_t event_wait();
// The control (or, for EVENT_CLOSE_WINDOW, the window) of the last event event_wait returned.
int32_t event_source_control();

// Images ----------------------------------------------------------------------------------------

// Decodes a PNG, BMP or icon file held in memory (size bytes at data).  0 when no reader takes
// it.
intptr_t image_decode_memory(int32_t number, const void* data, size_t size);
NativeHandle image_native_handle(int32_t image);

// Time, memory, randomness ----------------------------------------------------------------------

// Blocks the thread; no event of any window is handled meanwhile.
void sleep_ms(int32_t milliseconds);

// Zero-initialised blocks from the toolkit heap; what is left is freed by toolkit_shutdown.
void* memory_alloc(size_t size);
void memory_free(void* block);

// A uniformly distributed integer from 0 to max inclusive (max >= 0).  The generator seeds
// itself once per process from the clock on first use unless random_seed came first.
int32_t random_below(int32_t max);
void random_seed(uint64_t seed);

// Opening a program, document or web address (only in deliverables with process launching):
// non-zero when started, 0 when not.  Never waits for what it started.
int32_t shell_open_target(const char* target);

// Sound -----------------------------------------------------------------------------------------

// Non-zero when sound output is ready, 0 when it is not (the program runs on without sound).
int32_t sound_init();
// Makes a sound from a RIFF/WAVE PCM image in memory (the data is copied).  Returns the new
// handle for AUTO_NUMBER, a non-zero native handle for a static number, 0 on any failure.
intptr_t sound_load_wav_memory(int32_t number, const void* image);
constexpr int32_t SOUND_PLAY_LOOP = 1;
// Stops and rewinds, then plays once (or looping); volume -1 leaves it unchanged.  1 when
// playback started.
int32_t sound_play(int32_t sound, int32_t flags, int32_t volume);
int32_t sound_exists(int32_t sound);
// 1 while the sound plays, 0 once it has ended or been stopped, or when there is no such sound.
int32_t sound_playing(int32_t sound);
// Silences the sound at once and releases it.
void sound_free(int32_t sound);
// Frees every sound (static numbers ascending, then automatic ones oldest first), then the
// device.
void sound_shutdown();
