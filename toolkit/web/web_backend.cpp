// The window backend in a browser page: windows are boxes in the page, controls are its
// elements (labels, <select> lists, <button>s, canvases), all made and changed by the page's
// script (page_library.js), which keeps the native objects and hands out their numbers.
//
// The program runs on the page's one thread.  Its blocking waits yield to the browser through
// Asyncify: event_wait sleeps until the page has user input for it, sleep_ms lets the page run
// (and paint) meanwhile.  Input is taken one event at a time, so that what the user did while a
// handler ran reaches the controls only as the handler left them.
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <emscripten.h>

extern "C" {
// page_library.js
NativeHandle page_window_create(int32_t id, int32_t x, int32_t y, int32_t width, int32_t height,
                                const char* title, uint32_t flags);
void page_destroy(NativeHandle object);
NativeHandle page_control_create(NativeHandle parent, int32_t kind, int32_t id, int32_t x,
                                 int32_t y, int32_t width, int32_t height, const char* text,
                                 uint32_t flags, NativeHandle image, NativeHandle caption);
int32_t page_list_add(NativeHandle list, int32_t position, const char* text);
int32_t page_list_select(NativeHandle list, int32_t position);
int32_t page_list_selected(NativeHandle list);
void page_set_disabled(NativeHandle control, int32_t disabled);
NativeHandle page_image_create(int32_t width, int32_t height, int32_t alpha, const uint8_t* pixels);
void page_wait_for_input();
// The oldest input: 1 and its event, or 0 when there is none (or it went to a control that is
// gone or disabled now, and is dropped).
int32_t page_take_input(int32_t* code, int32_t* source_kind, int32_t* source, int32_t* immediate);
NativeHandle page_focused(NativeHandle window);
void page_focus(NativeHandle control);
void page_ended();
}

namespace {

constexpr int32_t NATIVE_INPUT = 0x8001;
constexpr int32_t NATIVE_NOTHING = 0x8000;

NativeHandle control_create(NativeHandle parent, const ControlRequest& r) {
    return page_control_create(parent, int32_t(r.kind), r.id, r.x, r.y, r.width, r.height, r.text,
                               r.flags, r.image, r.caption);
}

NativeHandle image_create(const DecodedImage& d) {
    if (d.width <= 0 || d.height <= 0 || !d.pixels) return 0;
    return page_image_create(d.width, d.height, d.alpha ? 1 : 0, d.pixels);
}

int32_t wait_and_dispatch() {
    int32_t code = 0, kind = 0, source = 0, immediate = 0;
    if (!page_take_input(&code, &kind, &source, &immediate)) {
        page_wait_for_input();
        if (!page_take_input(&code, &kind, &source, &immediate)) return NATIVE_NOTHING;
    }
    toolkit_post_event(code, kind ? EventSource::Control : EventSource::Window, source,
                       immediate ? EventDelivery::Immediate : EventDelivery::Queued);
    return NATIVE_INPUT;
}

const WindowBackend web_backend = {
    .window_create = page_window_create,
    .window_destroy = page_destroy,
    .control_create = control_create,
    .control_destroy = page_destroy,
    .list_add_item = page_list_add,
    .list_select = page_list_select,
    .list_selected = page_list_selected,
    .control_set_disabled = [](NativeHandle c, bool disabled) { page_set_disabled(c, disabled); },
    .image_create = image_create,
    .image_destroy = page_destroy,
    .wait_and_dispatch = wait_and_dispatch,
    .sleep_ms = [](int32_t milliseconds) { emscripten_sleep(unsigned(milliseconds)); },
    .repaint_now = [](NativeHandle) {},
    .shutdown = page_ended,
    .focused_control = page_focused,
    .focus_control = page_focus,
};

} // namespace

void toolkit_init() {
    toolkit_core_start(&web_backend);
}
