// Windows, controls, the current parent and the event queue, over the installed backend.
#include "toolkit/core.h"
#include "toolkit/memory_heap.h"
#include "toolkit/numbers.h"
#include "toolkit/toolkit.h"

#include <chrono>
#include <deque>
#include <optional>
#include <thread>
#include <vector>

namespace {

const WindowBackend* backend = nullptr;

struct WindowRecord {
    NativeHandle native;
    // The control that had the focus in the window this one opened over; it gets the focus
    // back when this window goes.
    std::optional<int32_t> focus_before;
    // The newest control made in the window: a list made next is named by it if it is a label.
    std::optional<int32_t> newest;
    // Set until the first wait after the window opened, which focuses its first control if
    // none has the focus yet.
    bool focus_first = true;
};
struct ControlRecord {
    NativeHandle native;
    int32_t window; // the id of the window it lives in
    ControlKind kind;
    uint64_t made; // creation order
    bool disabled = false;
};

NumberTable<WindowRecord> windows;
NumberTable<ControlRecord> controls;
uint64_t controls_made = 0;
// A control that lost the focus (disabled while it had it, or its window covered by one that
// has gone): at the next wait the focus goes to it, or, if it cannot take it, to the next
// control after it that can, as Tab would.
std::optional<int32_t> focus_pending;

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
    const ControlRecord* before = parent->newest ? controls.find(*parent->newest) : nullptr;
    if (request.kind == ControlKind::Dropdown && before && before->kind == ControlKind::Label)
        request.caption = before->native;
    const NativeHandle native = backend->control_create(parent->native, request);
    if (!native) return 0;
    controls.put(id, {.native = native,
                      .window = current_parent,
                      .kind = request.kind,
                      .made = ++controls_made,
                      .disabled = false});
    parent->newest = id;
    return number_create_result(id, native);
}

// Focus ------------------------------------------------------------------------------------------

bool takes_focus(const ControlRecord& c) {
    return !c.disabled && (c.kind == ControlKind::Dropdown || c.kind == ControlKind::Button);
}

// The control of the window that has the focus, if it is one of the toolkit's.
std::optional<int32_t> focused_in(const WindowRecord& w) {
    const NativeHandle native = backend->focused_control ? backend->focused_control(w.native) : 0;
    std::optional<int32_t> found;
    if (native)
        controls.for_each_id([&](int32_t id) {
            if (controls.find(id)->native == native) found = id;
        });
    return found;
}

// Focuses the first control of the window that takes the focus, made at or after `from`;
// past the last, the first of all.
void focus_from(int32_t window, uint64_t from) {
    const ControlRecord *next = nullptr, *first = nullptr;
    controls.for_each_id([&](int32_t id) {
        const ControlRecord& c = *controls.find(id);
        if (c.window != window || !takes_focus(c)) return;
        if (!first || c.made < first->made) first = &c;
        if (c.made >= from && (!next || c.made < next->made)) next = &c;
    });
    if (!next) next = first;
    if (next) backend->focus_control(next->native);
}

// What a wait does first: the focus goes where the user's next step is.
void move_focus() {
    if (!backend || !backend->focus_control) return;
    windows.for_each_id([](int32_t id) {
        WindowRecord& w = *windows.find(id);
        if (w.focus_first && !focused_in(w)) focus_from(id, 0);
        w.focus_first = false;
    });
    if (const ControlRecord* c = focus_pending ? controls.find(*focus_pending) : nullptr)
        focus_from(c->window, c->made);
    focus_pending.reset();
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
    const WindowRecord* below = have_parent ? windows.find(current_parent) : nullptr;
    windows.put(id, {.native = native,
                     .focus_before = below ? focused_in(*below) : std::nullopt,
                     .newest = std::nullopt,
                     .focus_first = true});
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
    if (w->focus_before) focus_pending = w->focus_before;
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
    // The focus leaves a control that is disabled; where it goes is decided at the next wait,
    // once the handler has set every control.
    if (disabled && !c->disabled && focused_in(*windows.find(c->window)) == control)
        focus_pending = control;
    c->disabled = disabled != 0;
    backend->control_set_disabled(c->native, c->disabled);
    return 1;
}

// Events ----------------------------------------------------------------------------------------

namespace {
const ToolkitSeams* seams = nullptr;
} // namespace

void toolkit_install_seams(const ToolkitSeams* s) {
    seams = s;
}

int32_t event_wait() {
    return seams && seams->event_wait ? seams->event_wait() : toolkit_event_wait_itself();
}

void sleep_ms(int32_t milliseconds) {
    if (seams && seams->sleep_ms)
        seams->sleep_ms(milliseconds);
    else
        toolkit_sleep_itself(milliseconds);
}

int32_t toolkit_event_wait_itself() {
    move_focus();
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

void toolkit_sleep_itself(int32_t milliseconds) {
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
    focus_pending.reset();
    have_result = false;
    last = Event{};
    memory_heap_destroy();
}
