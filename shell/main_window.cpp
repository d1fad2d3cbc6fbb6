// The main window: ten captioned drop-down lists in a grid of three columns and four buttons.
#include <cstdio>

#include "shell/lists.h"
#include "shell/shell.h"
#include "synth/tone.h"
#include "toolkit/toolkit.h"
#include "variants/variant_profile.h"

namespace {

constexpr int32_t WINDOW_X = 25;
constexpr int32_t WINDOW_Y = 25;
constexpr int32_t CLIENT_WIDTH = 540;
constexpr int32_t CLIENT_HEIGHT = 400;

constexpr int32_t COLUMN_1 = 20;
constexpr int32_t COLUMN_2 = 190;
constexpr int32_t COLUMN_3 = 360;
constexpr int32_t CELL_WIDTH = 160;
constexpr int32_t CELL_HEIGHT = 20;
constexpr int32_t LIST_BELOW_CAPTION = 30;

constexpr int32_t to_handle(intptr_t created) {
    return static_cast<int32_t>(created);
}

// A centred caption in a sunken border, with a closed drop-down list 30 pixels below it.
int32_t captioned_list(int32_t& caption, const char* text, int32_t x, int32_t y) {
    caption = to_handle(label_create(AUTO_NUMBER, x, y, CELL_WIDTH, CELL_HEIGHT, text,
                                     LABEL_CENTER | LABEL_SUNKEN_EDGE));
    return to_handle(
        dropdown_create(AUTO_NUMBER, x, y + LIST_BELOW_CAPTION, CELL_WIDTH, CELL_HEIGHT));
}

void add_entries(int32_t list, std::span<const ListEntry> entries) {
    for (const ListEntry& entry : entries)
        control_add_item(list, -1, entry.text);
}

void add_frequencies(int32_t list, const VariantProfile& profile) {
    for (int32_t i = 0; i < profile.frequency_entry_count; ++i)
        control_add_item(list, -1, profile.frequency_entries[i].text);
}

void fixed_list(int32_t& caption, int32_t& list, const char* text, int32_t x, int32_t y,
                std::span<const ListEntry> entries, int32_t default_position) {
    list = captioned_list(caption, text, x, y);
    add_entries(list, entries);
    control_set_state(list, default_position);
}

} // namespace

const char* main_window_title() {
    static char title[160];
    if (title[0] == '\0') {
        const VariantProfile& profile = variant_profile();
        std::snprintf(title, sizeof title, "%s V %s  (32 Bit)%32s%s", profile.product_name,
                      profile.version_text, "", HOST_NAME);
    }
    return title;
}

void build_main_window() {
    ShellState& s = shell_state;
    const VariantProfile& profile = variant_profile();

    s.main_window =
        to_handle(window_create(AUTO_NUMBER, WINDOW_X, WINDOW_Y, CLIENT_WIDTH, CLIENT_HEIGHT,
                                main_window_title(), WINDOW_CAPTION | WINDOW_SYSMENU));

    fixed_list(s.channels_caption, s.channels_list, "# OF CHANNELS", COLUMN_1, 20, CHANNEL_ENTRIES,
               DEFAULT_CHANNELS_POSITION);
    fixed_list(s.rate_caption, s.rate_list, "SAMPLE RATE", COLUMN_2, 20, RATE_ENTRIES,
               DEFAULT_RATE_POSITION);
    fixed_list(s.bits_caption, s.bits_list, "# OF BITS", COLUMN_3, 20, BITS_ENTRIES,
               DEFAULT_BITS_POSITION);
    // The style list holds the synthesizer's own names; a style is its position.
    s.style_list = captioned_list(s.style_caption, "STYLES", COLUMN_1, 100);
    for (const char* name : TONE_STYLE_NAMES)
        control_add_item(s.style_list, -1, name);
    control_set_state(s.style_list, DEFAULT_STYLE_POSITION);

    s.frequency_list = captioned_list(s.frequency_caption, "FREQUENCY", COLUMN_2, 100);
    add_frequencies(s.frequency_list, profile);
    control_set_state(s.frequency_list, profile.frequency_default_position);

    fixed_list(s.amplitude_caption, s.amplitude_list, "AMPLITUDE", COLUMN_3, 100, AMPLITUDE_ENTRIES,
               DEFAULT_AMPLITUDE_POSITION);
    fixed_list(s.duration_caption, s.duration_list, "DURATION", COLUMN_1, 180, DURATION_ENTRIES,
               DEFAULT_DURATION_POSITION);

    s.sweep_list = captioned_list(s.sweep_caption, "SWEEP (0 = OFF)", COLUMN_2, 180);
    control_add_item(s.sweep_list, -1, SWEEP_OFF_ENTRY.text);
    add_frequencies(s.sweep_list, profile);
    control_set_state(s.sweep_list, DEFAULT_SWEEP_POSITION);

    fixed_list(s.fade_in_caption, s.fade_in_list, "FADE IN", COLUMN_3, 180, SWITCH_ENTRIES,
               DEFAULT_FADE_POSITION);
    fixed_list(s.fade_out_caption, s.fade_out_list, "FADE OUT", COLUMN_1, 260, SWITCH_ENTRIES,
               DEFAULT_FADE_POSITION);

    s.compile_button = to_handle(button_create(AUTO_NUMBER, COLUMN_2, 260, 330, 50, "COMPILE !"));
    s.play_button = to_handle(button_create(AUTO_NUMBER, COLUMN_1, 340, 160, 40, "PLAY"));
    s.stop_button = to_handle(button_create(AUTO_NUMBER, COLUMN_2, 340, 160, 40, "STOP"));
    s.about_button = to_handle(button_create(AUTO_NUMBER, COLUMN_3, 340, 160, 40, "ABOUT"));
}
