// Start-up, the one event loop and shutdown.
#include <cstdlib>
#include <cstring>

#include "resources/embedded.h"
#include "shell/shell.h"
#include "synth/sound_format.h"
#include "toolkit/toolkit.h"

ShellState shell_state;

namespace {

void start_up() {
    std::memset(&shell_state, 0, sizeof shell_state);
    toolkit_init();
    // The format of the lists' default entries: 44100 Hz, 16-bit, mono.
    set_sound_format(44100, 16, 1);
    shell_state.logo_image =
        static_cast<int32_t>(image_decode_memory(AUTO_NUMBER, logo_png_data(), logo_png_size()));
    build_main_window();
    control_set_disabled(shell_state.play_button, 1);
    // Without a sound device the program runs on; COMPILE then makes no sound.
    sound_init();
    shell_state.quit_requested = 0;
}

// Runs the handler of the button that raised a control event; events of the lists and of any
// other control change nothing.
void dispatch_control(int32_t control) {
    const ShellState& s = shell_state;
    if (control == s.about_button)
        on_about();
    else if (control == s.stop_button)
        on_stop();
    else if (control == s.compile_button)
        on_compile();
    else if (control == s.play_button)
        on_play();
}

void event_loop() {
    while (shell_state.quit_requested == 0) {
        const int32_t event = event_wait();
        if (event == EVENT_CONTROL)
            dispatch_control(event_source_control());
        else if (event == EVENT_CLOSE_WINDOW)
            shell_state.quit_requested = 1; // the window closes in shutdown
    }
}

} // namespace

int32_t shell_run() {
    start_up();
    event_loop();
    // Sounds first (which silences any still playing), then windows, images and heaps.
    toolkit_shutdown();
    return 0;
}

void shell_main() {
    std::exit(shell_run());
}
