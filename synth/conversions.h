// The integer conversions the waveforms are defined with.  They never invoke undefined
// behaviour: a NaN or an out-of-range value gives the type's most negative value.
#pragma once

#include <cmath>
#include <cstdint>

// Nearest whole number, ties to even, as a signed 16-bit value; NaN or out of range: -32768.
inline int16_t q16(double x) {
    const double r = std::nearbyint(x);
    return (r >= -32768.0 && r <= 32767.0) ? int16_t(r) : int16_t(-32768);
}

// The same into 32 bits; NaN or out of range: -2147483648.
inline int32_t q32(double x) {
    const double r = std::nearbyint(x);
    return (r >= -2147483648.0 && r <= 2147483647.0) ? int32_t(r) : INT32_MIN;
}

// The low 16 bits of n, read as a signed 16-bit value.
inline int16_t low16(int32_t n) {
    return int16_t(uint16_t(uint32_t(n)));
}

// floor(x + 0.5) above 0, ceil(x - 0.5) otherwise.
inline double round_half_away(double x) {
    return x > 0 ? std::floor(x + 0.5) : std::ceil(x - 0.5);
}

inline double sign(double x) {
    return x > 0 ? 1.0 : x < 0 ? -1.0 : 0.0;
}

// Sample s faded at t = i / frames, the frame's place in the tone, before rounding: mode 1 fades
// in, 2 out, 3 both ways.
constexpr double faded(double s, double t, int32_t mode) {
    return mode == 1 ? s * t : mode == 2 ? s * (1.0 - t) : ((1.0 - t) * (4.0 * s)) * t;
}

// The fade envelope at frame i of n: mode bit 0 fades in, bit 1 fades out.
inline int16_t apply_envelope(int16_t s, int32_t mode, int64_t i, int64_t frames) {
    if (mode < 1 || mode > 3) return s;
    return q16(faded(double(s), double(i) / double(frames), mode));
}
