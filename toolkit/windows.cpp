// Windows, controls, the current parent and the event queue, over the installed backend.
#include "toolkit/core.h"
#include "toolkit/memory_heap.h"
#include "toolkit/numbers.h"
#include "toolkit/toolkit.h"

#include <chrono>
#include <deque>
#include <thread>
#include <vector>

namespace {

const WindowBackend* backend = nullptr;

struct WindowRecord {
    NativeHandle native;
};
struct ControlRecord {
    NativeHandle native;
    int32_t window; // the id of the window it lives in
    ControlKind kind;
};

NumberTable<WindowRecord> windows;
NumberTable<ControlRecord> controls;

bool have_parent = false;
int32_t current_parent = 0;

struct Event {
    int32_t code;
    EventSource kind;
    int32_t source;
    bool operator==(const Event&) const = default;
};
std::deque<Event> queue;
bool dispatching = false;
bool have_result = false;
Event result{};
Event last{};

void drop_events(EventSource kind, int32_t source) {
    std::erase_if(queue, [&](const Event& e) { return e.kind == kind && e.source == source; });
    if (have_result && result.kind == kind && result.source == source) have_result = false;
}

void destroy_control(int32_t id) {
    ControlRecord* c = controls.find(id);
    if (!c) return;
    const NativeHandle native = c->native;
    controls.erase(id);
    drop_events(EventSource::Control, id);
    if (backend) backend->control_destroy(native);
}

intptr_t create_control(int32_t number, const ControlRequest& base) {
    if (!backend || !have_parent) return 0;
    WindowRecord* parent = windows.find(current_parent);
    if (!parent) return 0;
    int32_t id;
    if (!number_id_for(number, &id)) return 0;
    if (number >= 0) destroy_control(id);
    ControlRequest request = base;
    request.id = id;
    const NativeHandle native = backend->control_create(parent->native, request);
    if (!native) return 0;
    controls.put(id, ControlRecord{native, current_parent, request.kind});
    return number_create_result(id, native);
}

ControlRecord* find_list(int32_t control) {
    ControlRecord* c = controls.find(control);
    return c && c->kind == ControlKind::Dropdown ? c : nullptr;
}

} // namespace

const WindowBackend* core_backend() {
    return backend;
}

void toolkit_core_start(const WindowBackend* b) {
    backend = b;
}

NativeHandle toolkit_control_native(int32_t control) {
    ControlRecord* c = controls.find(control);
    return c ? c->native : 0;
}

void toolkit_post_event(int32_t code, EventSource kind, int32_t source, EventDelivery delivery) {
    const Event e{code, kind, source};
    if (delivery == EventDelivery::Immediate && dispatching && !have_result) {
        result = e;
        have_result = true;
        return;
    }
    if (!queue.empty() && queue.back() == e) return;
    queue.push_back(e);
}

// Windows ---------------------------------------------------------------------------------------

intptr_t window_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const char* title, uint32_t flags) {
    if (!backend) return 0;
    int32_t id;
    if (!number_id_for(number, &id)) return 0;
    if (number >= 0) window_destroy(id);
    const NativeHandle native =
        backend->window_create(id, x, y, width, height, title ? title : "", flags);
    if (!native) return 0;
    windows.put(id, WindowRecord{native});
    have_parent = true;
    current_parent = id;
    return number_create_result(id, native);
}

NativeHandle window_native_handle(int32_t window) {
    WindowRecord* w = windows.find(window);
    return w ? w->native : 0;
}

int32_t window_destroy(int32_t window) {
    WindowRecord* w = windows.find(window);
    if (!w) return 0;
    const NativeHandle native = w->native;
    std::vector<int32_t> children;
    controls.for_each_id([&](int32_t id) {
        if (controls.find(id)->window == window) children.push_back(id);
    });
    for (int32_t id : children)
        destroy_control(id);
    windows.erase(window);
    drop_events(EventSource::Window, window);
    if (have_parent && current_parent == window) have_parent = false;
    backend->window_destroy(native);
    return 1;
}

void windows_destroy_all() {
    std::vector<int32_t> ids;
    windows.for_each_id([&](int32_t id) { ids.push_back(id); });
    for (int32_t id : ids)
        window_destroy(id);
}

void window_repaint_now(NativeHandle native_window) {
    if (!backend || !native_window) return;
    bool known = false;
    windows.for_each_id(
        [&](int32_t id) { known = known || windows.find(id)->native == native_window; });
    if (known) backend->repaint_now(native_window);
}

// Controls --------------------------------------------------------------------------------------

intptr_t label_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                      const char* text, uint32_t flags) {
    return create_control(number, {ControlKind::Label, 0, x, y, width, height, text, flags, 0});
}

intptr_t dropdown_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
    return create_control(number, {ControlKind::Dropdown, 0, x, y, width, height, nullptr, 0, 0});
}

intptr_t button_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const char* caption) {
    return create_control(number, {ControlKind::Button, 0, x, y, width, height, caption, 0, 0});
}

intptr_t picture_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        NativeHandle native_image, uint32_t ex_style) {
    // Only an image the toolkit holds is shown; anything else counts as no image.
    if (!image_native_is_live(native_image)) native_image = 0;
    return create_control(
        number, {ControlKind::Picture, 0, x, y, width, height, nullptr, ex_style, native_image});
}

intptr_t webview_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        const char* address) {
    return create_control(number, {ControlKind::WebView, 0, x, y, width, height, address, 0, 0});
}

int32_t control_add_item(int32_t control, int32_t position, const char* text) {
    ControlRecord* c = find_list(control);
    if (!c || position < -1) return 0;
    return backend->list_add_item(c->native, position, text ? text : "");
}

int32_t control_set_state(int32_t control, int32_t state) {
    ControlRecord* c = find_list(control);
    if (!c) return 0;
    return backend->list_select(c->native, state);
}

int32_t control_get_state(int32_t control) {
    ControlRecord* c = find_list(control);
    if (!c) return 0;
    return backend->list_selected(c->native);
}

int32_t control_set_disabled(int32_t control, int32_t disabled) {
    ControlRecord* c = controls.find(control);
    if (!c) return 0;
    backend->control_set_disabled(c->native, disabled != 0);
    return 1;
}

// Events ----------------------------------------------------------------------------------------

int32_t event_wait() {
    if (queue.empty() && backend) {
        dispatching = true;
        have_result = false;
        const int32_t native_code = backend->wait_and_dispatch();
        dispatching = false;
        if (have_result) {
            have_result = false;
            last = result;
            return last.code;
        }
        // Nothing reported at once (a list change is queued for the next call): the code of
        // the dispatch itself is the answer.
        last = Event{native_code, EventSource::Window, 0};
        return native_code;
    }
    if (queue.empty()) {
        last = Event{0, EventSource::Window, 0};
        return 0;
    }
    last = queue.front();
    queue.pop_front();
    return last.code;
}

int32_t event_source_control() {
    return last.source;
}

// Time and the end ------------------------------------------------------------------------------

void sleep_ms(int32_t milliseconds) {
    if (milliseconds <= 0) return;
    if (backend) {
        backend->sleep_ms(milliseconds);
        return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void toolkit_shutdown() {
    sound_shutdown();
    windows_destroy_all();
    if (backend && backend->shutdown) backend->shutdown();
    images_free_all();
    queue.clear();
    have_result = false;
    last = Event{};
    memory_heap_destroy();
}
