// The application shell: start-up, the event loop, the main window, the four commands and the
// splash window, all over the one process-wide ShellState.
#pragma once

#include <cstdint>

// The maker's web host, named in both window titles and in both web addresses.
#define SHELL_HOST_NAME "www.halvex-tones.example"
constexpr const char* HOST_NAME = SHELL_HOST_NAME;
constexpr const char* HOME_PAGE_ADDRESS = "http://" SHELL_HOST_NAME;
constexpr const char* FREE_PAGE_ADDRESS = "http://" SHELL_HOST_NAME "/Halvex_Free/index.html";

// The values read from the ten lists by the last "COMPILE !"; each keeps its value until a
// later "COMPILE !" assigns it.
struct ToneParameters {
    int32_t channels;
    int32_t sample_rate;
    int32_t bytes_per_sample;
    int32_t amplitude;
    int32_t frequency;
    int32_t duration;
    int32_t sweep; // 0 for no sweep
    int32_t fade_in;
    int32_t fade_out;
    int32_t style;
};

// Every handle is the value a toolkit create operation returned for AUTO_NUMBER (0 when it
// failed), which is also the value the object's events carry.
struct ShellState {
    int32_t main_window;
    int32_t logo_image;

    int32_t channels_list;
    int32_t rate_list;
    int32_t bits_list;
    int32_t style_list;
    int32_t frequency_list;
    int32_t amplitude_list;
    int32_t duration_list;
    int32_t sweep_list;
    int32_t fade_in_list;
    int32_t fade_out_list;

    int32_t channels_caption;
    int32_t rate_caption;
    int32_t bits_caption;
    int32_t style_caption;
    int32_t frequency_caption;
    int32_t amplitude_caption;
    int32_t duration_caption;
    int32_t sweep_caption;
    int32_t fade_in_caption;
    int32_t fade_out_caption;

    int32_t compile_button;
    int32_t play_button;
    int32_t stop_button;
    int32_t about_button;

    int32_t current_sound; // the sound of the latest "COMPILE !"; 0 when it made none
    int32_t quit_requested;
    ToneParameters parameters;
};

extern ShellState shell_state;

// The program's entry: start-up, the event loop until a close request, shutdown, then the end
// of the process with exit code 0.  Never returns.
[[noreturn]] void shell_main();
// The same without ending the process: returns the exit code, which is always 0.
int32_t shell_run();

// Creates the main window with its captions, lists (each at its default entry) and buttons.
void build_main_window();
// The main window's title: product, version, word size, a gap of 32 blanks and the host name.
const char* main_window_title();

void on_compile();
void on_play();
void on_stop();
void on_about();
// Reads the ten lists into shell_state.parameters and sets the sound format on the way.
void gather_parameters();

// Shows the logo in a window of its own for a moment; returns 0.
int32_t show_splash();
