#include "tests/shell/fake_toolkit.h"

#include <stdexcept>

#include "synth/sound_format.h"
#include "synth/tone.h"
#include "toolkit/toolkit.h"

namespace fake {

World world;

constexpr int32_t NATIVE_MOUSE_MESSAGE = 0x0202;
constexpr int32_t NATIVE_COMMAND_MESSAGE = 0x0111;

void reset() {
    world = World{};
}

Object* find(int32_t handle) {
    for (Object& object : world.objects)
        if (object.handle == handle && handle != 0) return &object;
    return nullptr;
}

Object& nth(const std::string& kind, size_t n) {
    for (Object& object : world.objects)
        if (object.kind == kind && n-- == 0) return object;
    throw std::out_of_range("no such object: " + kind);
}

std::vector<std::string> call_names() {
    std::vector<std::string> names;
    for (const Call& call : world.calls)
        names.push_back(call.name);
    return names;
}

std::vector<Call> calls_after(const std::string& name) {
    std::vector<Call> after;
    bool seen = false;
    for (const Call& call : world.calls) {
        if (seen) after.push_back(call);
        if (call.name == name) seen = true;
    }
    return after;
}

void click(int32_t ShellState::*button) {
    world.script.push_back([button] {
        const int32_t handle = shell_state.*button;
        const Object* object = find(handle);
        if (object == nullptr || object->disabled) return NATIVE_MOUSE_MESSAGE;
        world.source = handle;
        return EVENT_CONTROL;
    });
}

void select(int32_t ShellState::*list, int32_t position) {
    world.script.push_back([list, position] {
        if (Object* object = find(shell_state.*list)) object->state = position;
        return NATIVE_COMMAND_MESSAGE;
    });
    world.script.push_back([list] {
        world.source = shell_state.*list;
        return EVENT_CONTROL;
    });
}

void event(int32_t code, int32_t source) {
    world.script.push_back([code, source] {
        world.source = source;
        return code;
    });
}

void check(std::function<void()> body) {
    world.script.push_back([body] {
        body();
        return NATIVE_MOUSE_MESSAGE;
    });
}

void close_window() {
    world.script.push_back([] {
        world.source = shell_state.main_window;
        return EVENT_CLOSE_WINDOW;
    });
}

namespace {

void log(const std::string& name, std::vector<int64_t> args, std::string text = {}) {
    world.calls.push_back({name, std::move(args), std::move(text)});
}

int32_t create(const char* kind, int32_t number, int32_t x, int32_t y, int32_t w, int32_t h,
               const char* text, uint32_t flags) {
    if (std::string(kind) != "image")
        log((std::string(kind) + "_create").c_str(), {number, x, y, w, h, flags},
            text != nullptr ? text : "");
    Object object;
    object.kind = kind;
    object.handle = world.next_handle--;
    object.x = x;
    object.y = y;
    object.width = w;
    object.height = h;
    object.text = text != nullptr ? text : "";
    object.flags = flags;
    world.objects.push_back(object);
    return object.handle;
}

} // namespace
} // namespace fake

using fake::world;

void toolkit_init() {
    fake::log("toolkit_init", {});
}
void toolkit_shutdown() {
    fake::log("toolkit_shutdown", {});
    for (auto& [handle, sound] : world.sounds)
        sound = {false, false};
}

intptr_t window_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const char* title, uint32_t flags) {
    return fake::create("window", number, x, y, width, height, title, flags);
}
intptr_t label_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                      const char* text, uint32_t flags) {
    return fake::create("label", number, x, y, width, height, text, flags);
}
intptr_t dropdown_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height) {
    return fake::create("dropdown", number, x, y, width, height, nullptr, 0);
}
intptr_t button_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                       const char* caption) {
    return fake::create("button", number, x, y, width, height, caption, 0);
}

int32_t control_add_item(int32_t control, int32_t position, const char* text) {
    fake::log("control_add_item", {control, position}, text);
    fake::Object* object = fake::find(control);
    if (object == nullptr || object->kind != "dropdown") return 0;
    object->items.push_back(text);
    return 1;
}
int32_t control_set_state(int32_t control, int32_t state) {
    fake::log("control_set_state", {control, state});
    if (fake::Object* object = fake::find(control)) object->state = state;
    return 1;
}
int32_t control_get_state(int32_t control) {
    fake::log("control_get_state", {control});
    const fake::Object* object = fake::find(control);
    return object != nullptr ? object->state : 0;
}
int32_t control_set_disabled(int32_t control, int32_t disabled) {
    fake::log("control_set_disabled", {control, disabled});
    if (fake::Object* object = fake::find(control)) object->disabled = disabled != 0;
    return 1;
}

int32_t event_wait() {
    fake::log("event_wait", {});
    if (world.script.empty()) {
        world.script_ran_out = true;
        world.source = 0;
        return EVENT_CLOSE_WINDOW;
    }
    fake::Step step = world.script.front();
    world.script.pop_front();
    return step();
}
int32_t event_source_control() {
    return world.source;
}

intptr_t image_decode_memory(int32_t number, const void* data, size_t size) {
    fake::log("image_decode_memory", {number, static_cast<int64_t>(size)});
    world.last_image =
        data == nullptr || size == 0 ? 0 : fake::create("image", number, 0, 0, 0, 0, nullptr, 0);
    return world.last_image;
}

int32_t sound_init() {
    fake::log("sound_init", {});
    return world.sound_ready ? 1 : 0;
}
int32_t sound_play(int32_t sound, int32_t flags, int32_t volume) {
    fake::log("sound_play", {sound, flags, volume});
    auto it = world.sounds.find(sound);
    if (it == world.sounds.end() || !it->second.loaded) return 0;
    it->second.playing = true;
    return 1;
}
int32_t sound_exists(int32_t sound) {
    fake::log("sound_exists", {sound});
    auto it = world.sounds.find(sound);
    return it != world.sounds.end() && it->second.loaded ? 1 : 0;
}
void sound_free(int32_t sound) {
    fake::log("sound_free", {sound});
    auto it = world.sounds.find(sound);
    if (it != world.sounds.end()) it->second = {false, false};
}

int32_t set_sound_format(int32_t rate, int32_t bytes, int32_t channels) {
    fake::log("set_sound_format", {rate, bytes, channels});
    world.format[0] = rate;
    world.format[1] = bytes;
    world.format[2] = channels;
    return 1;
}

int32_t render_tone(int32_t sound_id, float frequency, float duration, int32_t amplitude,
                    float sweep, int32_t style, int32_t fade_in, int32_t fade_out) {
    fake::log("render_tone", {sound_id, amplitude, style, fade_in, fade_out});
    world.renders.push_back({sound_id, frequency, duration, amplitude, sweep, style, fade_in,
                             fade_out, world.format[0], world.format[1], world.format[2]});
    if (world.render_fails || !world.sound_ready) return 0;
    const int32_t handle = world.next_handle--;
    world.sounds[handle] = {};
    return handle;
}

// The splash window's operations.  Native handles are made up from the numbers so that the
// log shows which object each one came from.
NativeHandle window_native_handle(int32_t window) {
    fake::log("window_native_handle", {window});
    return 0x10000 + window;
}
void window_repaint_now(NativeHandle native_window) {
    fake::log("window_repaint_now", {static_cast<int64_t>(native_window)});
}
int32_t window_destroy(int32_t window) {
    fake::log("window_destroy", {window});
    return 1;
}
intptr_t webview_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        const char* address) {
    fake::log("webview_create", {number, x, y, width, height}, address);
    return 0;
}
NativeHandle image_native_handle(int32_t image) {
    fake::log("image_native_handle", {image});
    return image == 0 ? 0 : 0x20000 - image;
}
intptr_t picture_create(int32_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                        NativeHandle native_image, uint32_t ex_style) {
    fake::log("picture_create",
              {number, x, y, width, height, static_cast<int64_t>(native_image), ex_style});
    return 1;
}
void sleep_ms(int32_t milliseconds) {
    fake::log("sleep_ms", {milliseconds});
}
int32_t shell_open_target(const char* target) {
    fake::log("shell_open_target", {}, target);
    return 1;
}
