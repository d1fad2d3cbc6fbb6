// The per-frame definition of every sample.  Each 32-bit quantity is stored as a float after
// every assignment; the arithmetic between stores is double precision, and the sines, cosines,
// arc cosine, power and logarithm are the correctly rounded ones of exact_math.h (never the
// platform's C library, whose last bits differ from one runtime to the next).
#include "synth/conversions.h"
#include "synth/exact_math.h"
#include "synth/tone.h"
#include "toolkit/random_state.h"

#include <cmath>

namespace {
int16_t style_sample(const ToneSetup& t, float phase, RandomState& noise) {
    const double p = t.peak;
    const double phi = phase;
    switch (t.style) {
    case STYLE_SINE:
        return q16(p * exact::sin(phi));
    case STYLE_SAW:
        return q16(p * (phi - double(PI_F)) / double(PI_F));
    case STYLE_ABSOLUTE_SINE: {
        const float c = float(exact::cos((phi - double(PI_F)) / double(PI_F)));
        const float power = float(exact::pow(double(c), double(PI_F)));
        return q16(double(power) * t.abs_sine_level * p);
    }
    case STYLE_SQUARE_WAVE:
        return q16(p * sign(double(PI_F) - phi));
    case STYLE_TRIANGLE:
        return q16(p * (1.0 + sign(double(PI_F) - phi) * (phi - double(PI_F)) / double(HALF_PI_F)));
    case STYLE_PINK_SYNTH: {
        const int16_t s0 = q16((exact::sin(phi) * exact::sin(2.0 * phi)) * p);
        return low16(q32(std::fabs(p * std::sqrt(double(s0) * double(t.pink_log10_peak)))));
    }
    case STYLE_ABSOLUTE_SQUARE: {
        const float root = float(std::sqrt(phi));
        const float angle = float(exact::acos(double(root)));
        return q16(-std::sqrt((exact::sin(double(angle)) * exact::cos(phi)) * p));
    }
    case STYLE_WHITE_NOISE: {
        const int32_t r = random_bounded(noise, NOISE_RANGE_MAX);
        return q16(p * ((double(r) + 1.0) / 1073741824.0 - 1.0));
    }
    case STYLE_INVERSE_SINE:
        return q16(-(p * exact::sin(phi)));
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
        if (t.width == 1) {
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
