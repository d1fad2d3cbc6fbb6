// A recording stand-in for the toolkit and the synthesizer, linked in place of both, so that
// the shell runs without any window system.  Every call the shell makes is logged in order;
// controls keep their items, selection and enabled state; sounds keep whether they are loaded
// and playing.  The user is a script of steps that event_wait runs one by one.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shell/shell.h"

namespace fake {

struct Call {
    std::string name;
    std::vector<int64_t> args; // numbers in argument order
    std::string text;          // the text argument, if any
};

struct Object {
    std::string kind; // "window", "label", "dropdown", "button", "image"
    int32_t handle = 0;
    int32_t x = 0, y = 0, width = 0, height = 0;
    std::string text;
    uint32_t flags = 0;
    std::vector<std::string> items;
    int32_t state = -1;
    bool disabled = false;
};

struct Sound {
    bool loaded = true;
    bool playing = false;
};

struct RenderCall {
    int32_t sound_id;
    float frequency, duration;
    int32_t amplitude;
    float sweep;
    int32_t style, fade_in, fade_out;
    int32_t rate, bytes, channels; // the sound format in force at the call
};

// One step of the user's script: returns the event code event_wait hands to the shell and
// sets the source through set_source().
using Step = std::function<int32_t()>;

struct World {
    std::vector<Call> calls;
    std::vector<Object> objects; // in creation order
    std::map<int32_t, Sound> sounds;
    std::vector<RenderCall> renders;
    std::deque<Step> script;
    int32_t source = 0;
    int32_t next_handle = -2;
    bool sound_ready = true;       // what sound_init answers; without it renders make nothing
    bool render_fails = false;     // the renderer makes no sound
    bool script_ran_out = false;   // event_wait found no step left and asked to close
    int32_t format[3] = {0, 0, 0}; // rate, bytes, channels as last set
    int32_t last_image = 0;        // what image_decode_memory answered last
};

extern World world;

void reset();
Object* find(int32_t handle);
// The object created as the n-th of its kind (0 first).
Object& nth(const std::string& kind, size_t n);
std::vector<std::string> call_names();
// Calls made after the first call of the given name (which is not included).
std::vector<Call> calls_after(const std::string& name);

// Script steps.  A click on a disabled button yields nothing but a native mouse message.
void click(int32_t ShellState::*button);
// The user picks an entry: the native message first, then the list's control event.
void select(int32_t ShellState::*list, int32_t position);
void event(int32_t code, int32_t source);
// Runs a check in the middle of the script (between two events).
void check(std::function<void()> body);
void close_window();

} // namespace fake
