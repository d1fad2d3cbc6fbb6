#include "synth/fast_phase.h"

#include "synth/fast_clones.h"
#include "synth/tone.h"

#include <algorithm>
#include <bit>

namespace {
inline uint32_t exponent_field(float x) {
    return std::bit_cast<uint32_t>(x) >> 23;
}
inline float from_fields(uint32_t exponent, uint32_t mantissa) {
    return std::bit_cast<float>((exponent << 23) | mantissa);
}
constexpr uint32_t MANTISSA = 0x7FFFFF;

// count spacings of binade e as a float (exact: fewer than 2^24 of them).
inline float step_value(uint32_t e, uint32_t count) {
    return float(count) * from_fields(e - 23, 0);
}
// The progression base, base + step, ... (every term exact: it lies inside one binade).
FAST_BODY void emit_progression_body(float* out, float base, float step, int32_t count) {
    for (int32_t t = 0; t < count; ++t)
        out[t] = base + float(t) * step;
}
FAST_VARIANTS(emit_progression, (float* out, float base, float step, int32_t count),
              (out, base, step, count))
} // namespace

SteadyPhase::SteadyPhase(float dphi) : dphi_(dphi) {
    for (int e = 0; e < FIELDS; ++e) {
        step_even_[e] = step_odd_[e] = limit_[e] = reciprocal_[e] = 0;
        if (e <= 23) continue; // spacings below the normal range: single steps
        const float unit = from_fields(uint32_t(e - 23), 0);
        const float top = from_fields(uint32_t(e + 1), 0);
        const float even = from_fields(uint32_t(e), 2);
        const float odd = from_fields(uint32_t(e), 3);
        const float after_even = even + dphi;
        const float after_odd = odd + dphi;
        // Only binades a step stays inside (without passing 2 pi) have progressions.
        const float limit = std::min(TWO_PI_F, top - unit);
        if (!(dphi > 0.0f) || !(after_even <= limit) || !(after_odd <= limit) ||
            exponent_field(after_even) != uint32_t(e) || exponent_field(after_odd) != uint32_t(e))
            continue;
        const uint32_t step_even =
            std::bit_cast<uint32_t>(after_even) - std::bit_cast<uint32_t>(even);
        const uint32_t step_odd = std::bit_cast<uint32_t>(after_odd) - std::bit_cast<uint32_t>(odd);
        // A step too small to move the phase (no tone has one) is left to single steps.
        if (step_even == 0 || step_odd == 0) continue;
        step_even_[e] = step_even;
        step_odd_[e] = step_odd;
        limit_[e] = std::bit_cast<uint32_t>(limit) & MANTISSA;
        reciprocal_[e] = uint32_t((uint64_t(1) << 32) / step_even_[e]);
    }
}

void SteadyPhase::advance(float& phase, float* out, int64_t n) const {
    float phi = phase;
    int64_t j = 0;
    while (j < n) {
        const float b = phi;
        const uint32_t bits = std::bit_cast<uint32_t>(b);
        const uint32_t e = bits >> 23;
        // A progression needs a positive phase in a binade that has one, and an even value
        // unless the step is the same from both parities.  All in whole spacings: the count
        // of steps that stay within the limit, from the reciprocal (short by at most one).
        if (b > 0.0f && e < uint32_t(FIELDS) && step_even_[e] != 0 &&
            ((bits & 1) == 0 || step_odd_[e] == step_even_[e])) {
            const uint32_t step = step_even_[e];
            const uint32_t room = limit_[e] - (bits & MANTISSA);
            uint32_t steps = uint32_t((uint64_t(room) * reciprocal_[e]) >> 32);
            if ((steps + 1) * step <= room) ++steps;
            if (steps >= 1) {
                const int64_t m = std::min<int64_t>(steps, n - j);
                if (out) {
                    // Short runs (the small binades just after a wrap) are not worth the
                    // vector loop's set-up.
                    const float spacing = step_value(e, step);
                    if (m < 8) {
                        for (int32_t t = 0; t < int32_t(m); ++t)
                            out[j + t] = b + float(t) * spacing;
                    } else {
                        emit_progression(out + j, b, spacing, int32_t(m));
                    }
                }
                phi = std::bit_cast<float>(bits + uint32_t(m) * step);
                j += m;
                continue;
            }
        }
        if (out) out[j] = b;
        phi = phase_step(b, dphi_);
        ++j;
    }
    phase = phi;
}
