// The per-frame loop: every frame's sample from the waveforms of styles.h, faded and written
// out, then the phase stepped.  The definition of the bytes the fast path must match.
#include "synth/conversions.h"
#include "synth/styles.h"
#include "synth/tone.h"
#include "toolkit/random_state.h"

namespace {
int16_t style_sample(const ToneSetup& t, float phase, RandomState& noise) {
    const double p = t.peak;
    const double phi = phase;
    switch (t.style) {
    case STYLE_SINE:
        return style::sine(p, phi);
    case STYLE_SAW:
        return style::saw(p, phi);
    case STYLE_ABSOLUTE_SINE:
        return style::absolute_sine(p, phi, t.abs_sine_level);
    case STYLE_SQUARE_WAVE:
        return style::square_wave(p, phi);
    case STYLE_TRIANGLE:
        return style::triangle(p, phi);
    case STYLE_PINK_SYNTH:
        return style::pink_synth(p, phi, double(t.pink_log10_peak));
    case STYLE_ABSOLUTE_SQUARE:
        return style::absolute_square(p, phi);
    case STYLE_WHITE_NOISE:
        return q16(style::white_noise_value(p, random_bounded(noise, NOISE_RANGE_MAX)));
    case STYLE_INVERSE_SINE:
        return style::inverse_sine(p, phi);
    default:
        return 0;
    }
}
} // namespace

void write_frames_reference(const ToneSetup& t, uint8_t* data) {
    RandomState& noise = random_process_state();
    float phase = t.phase;
    float dphi = t.dphi;
    uint8_t* out = data;
    for (int64_t i = 0; i < t.frames; ++i) {
        const int16_t s = apply_envelope(style_sample(t, phase, noise), t.envelope, i, t.frames);
        if (t.bytes_per_sample == 1) {
            const uint8_t byte = uint8_t(s + 128);
            for (int32_t k = 0; k < t.channels; ++k)
                *out++ = byte;
        } else {
            const uint16_t word = uint16_t(s);
            for (int32_t k = 0; k < t.channels; ++k) {
                *out++ = uint8_t(word);
                *out++ = uint8_t(word >> 8);
            }
        }
        if (t.sweep)
            dphi = phase_increment(float(double(i) * double(t.df) + double(t.frequency)), t.rate);
        phase = phase_step(phase, dphi);
    }
}
