// The four commands.  "COMPILE !" and "PLAY" enable each other so that the user alternates
// between rendering a tone and playing it.
#include "shell/lists.h"
#include "shell/shell.h"
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "toolkit/toolkit.h"
#include "variants/variant_profile.h"

namespace {

// The value at the selected position; a position without an entry leaves the field as it was.
void read_list(int32_t list, std::span<const ListEntry> entries, int32_t& field) {
    const int32_t position = control_get_state(list);
    if (position >= 0 && position < static_cast<int32_t>(entries.size()))
        field = entries[position].value;
}

void read_frequency(int32_t list, const VariantProfile& profile, int32_t& field) {
    const int32_t position = control_get_state(list);
    if (position >= 0 && position < profile.frequency_entry_count)
        field = profile.frequency_entries[position].hz;
}

// "OFF" at position 0, then the frequency list one position later.
void read_sweep(int32_t list, const VariantProfile& profile, int32_t& field) {
    const int32_t position = control_get_state(list);
    if (position == 0)
        field = SWEEP_OFF_ENTRY.value;
    else if (position >= 1 && position <= profile.frequency_entry_count)
        field = profile.frequency_entries[position - 1].hz;
}

} // namespace

void gather_parameters() {
    const ShellState& s = shell_state;
    ToneParameters& p = shell_state.parameters;
    const VariantProfile& profile = variant_profile();

    read_list(s.channels_list, CHANNEL_ENTRIES, p.channels);
    read_list(s.rate_list, RATE_ENTRIES, p.sample_rate);
    read_list(s.bits_list, BITS_ENTRIES, p.bytes_per_sample);
    set_sound_format(p.sample_rate, p.bytes_per_sample, p.channels);

    read_list(s.amplitude_list, AMPLITUDE_ENTRIES, p.amplitude);
    read_frequency(s.frequency_list, profile, p.frequency);
    read_list(s.duration_list, DURATION_ENTRIES, p.duration);
    read_sweep(s.sweep_list, profile, p.sweep);
    read_list(s.fade_in_list, SWITCH_ENTRIES, p.fade_in);
    read_list(s.fade_out_list, SWITCH_ENTRIES, p.fade_out);
}

void on_compile() {
    ShellState& s = shell_state;
    control_set_disabled(s.compile_button, 1);
    control_set_disabled(s.play_button, 0);

    gather_parameters();
    // The style is the raw position of the style list; only a known style is rendered.
    s.parameters.style = control_get_state(s.style_list);

    const ToneParameters& p = s.parameters;
    if (p.style >= 0 && p.style < TONE_STYLE_COUNT) {
        // The previous sound is left alone: if it still plays it plays to its end, and the
        // toolkit frees it at shutdown.
        s.current_sound = render_tone(AUTO_NUMBER, static_cast<float>(p.frequency),
                                      static_cast<float>(p.duration), p.amplitude,
                                      static_cast<float>(p.sweep), p.style, p.fade_in, p.fade_out);
    }
}

void on_play() {
    ShellState& s = shell_state;
    control_set_disabled(s.compile_button, 1);
    sound_play(s.current_sound, 0, -1);
    control_set_disabled(s.play_button, 1);
    control_set_disabled(s.compile_button, 0);
}

void on_stop() {
    // The handle is kept; from now on it names no sound, and PLAY or STOP on it do nothing.
    if (sound_exists(shell_state.current_sound) != 0) sound_free(shell_state.current_sound);
}

void on_about() {
    show_splash();
}
