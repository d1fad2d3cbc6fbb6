// The nine waveforms: each style's sample at a frame's phase phi (a 32-bit real, 0 to 2 pi) for
// the tone's peak p, written once.  These define the bytes: the reference loop calls them for
// every frame, and the fast path's vector forms fall back on them wherever their own arithmetic
// could round differently.  Each 32-bit quantity is stored as a float after its assignment; the
// arithmetic between stores is double precision, and the sines, cosines, arc cosine and power
// are the correctly rounded ones of exact_math.h.
#pragma once

#include "synth/conversions.h"
#include "synth/exact_math.h"
#include "synth/tone.h"

#include <cmath>
#include <cstdint>

namespace style {

inline int16_t sine(double p, double phi) {
    return q16(p * exact::sin(phi));
}

// -(p x) is (-p) x exactly, so this is sine(-p, phi) too.
inline int16_t inverse_sine(double p, double phi) {
    return q16(-(p * exact::sin(phi)));
}

inline int16_t saw(double p, double phi) {
    return q16(p * (phi - double(PI_F)) / double(PI_F));
}

inline int16_t square_wave(double p, double phi) {
    return q16(p * sign(double(PI_F) - phi));
}

inline int16_t triangle(double p, double phi) {
    return q16(p * (1.0 + sign(double(PI_F) - phi) * (phi - double(PI_F)) / double(HALF_PI_F)));
}

// level: sin(peak + pi), worked out once per tone.
inline int16_t absolute_sine(double p, double phi, double level) {
    const float c = float(exact::cos((phi - double(PI_F)) / double(PI_F)));
    const float power = float(exact::pow(double(c), double(PI_F)));
    return q16(double(power) * level * p);
}

// The first sample s0, folded: its square root scaled, wrapped to 16 bits.
inline int16_t pink_fold(double p, int16_t s0, double log10_peak) {
    return low16(q32(std::fabs(p * std::sqrt(double(s0) * log10_peak))));
}
// log10_peak: log10 of the peak as a 32-bit real, worked out once per tone.
inline int16_t pink_synth(double p, double phi, double log10_peak) {
    return pink_fold(p, q16((exact::sin(phi) * exact::sin(2.0 * phi)) * p), log10_peak);
}

// The angle is the arc cosine of the phase's square root, both 32-bit reals; outside the arc
// cosine's domain (a phase above 1) it is NaN, and so is the sample before its conversion.
inline float absolute_square_root(double phi) {
    return float(std::sqrt(phi));
}
inline float absolute_square_angle(float root) {
    return float(exact::acos(double(root)));
}
inline int16_t absolute_square_at(double p, double phi, float angle) {
    return q16(-std::sqrt((exact::sin(double(angle)) * exact::cos(phi)) * p));
}
inline int16_t absolute_square(double p, double phi) {
    return absolute_square_at(p, phi, absolute_square_angle(absolute_square_root(phi)));
}

// r: the generator's draw, 0 to NOISE_RANGE_MAX.
inline double white_noise_value(double p, int32_t r) {
    return p * ((double(r) + 1.0) / 1073741824.0 - 1.0);
}

} // namespace style
