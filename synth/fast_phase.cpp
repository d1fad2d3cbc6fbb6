#include "synth/fast_phase.h"

#include "synth/tone.h"

#include <algorithm>
#include <bit>

namespace {
// One frame's step exactly as the reference takes it: the double sum of two such floats is
// exact, so rounding it to float is the float sum.
inline float phase_step(float phi, float dphi) {
    float next = phi + dphi;
    if (next > TWO_PI_F) next = next - TWO_PI_F;
    return next;
}

inline uint32_t exponent_field(float x) {
    return std::bit_cast<uint32_t>(x) >> 23;
}
inline float from_fields(uint32_t exponent, uint32_t mantissa) {
    return std::bit_cast<float>((exponent << 23) | mantissa);
}
} // namespace

SteadyPhase::SteadyPhase(float dphi) : dphi_(dphi) {
    for (int e = 0; e < FIELDS; ++e) {
        step_even_[e] = step_odd_[e] = limit_[e] = 0.0f;
        inverse_[e] = 0.0;
        if (e <= 23) continue; // spacings below the normal range: single steps
        const float unit = from_fields(uint32_t(e - 23), 0);
        const float top = from_fields(uint32_t(e + 1), 0);
        const float even = from_fields(uint32_t(e), 2);
        const float odd = from_fields(uint32_t(e), 3);
        const float after_even = even + dphi;
        const float after_odd = odd + dphi;
        // Only binades a step stays inside (without reaching 2 pi) have progressions.
        const float limit = std::min(TWO_PI_F, top - unit);
        if (!(dphi > 0.0f) || !(after_even <= limit) || !(after_odd <= limit) ||
            exponent_field(after_even) != uint32_t(e) || exponent_field(after_odd) != uint32_t(e))
            continue;
        step_even_[e] = after_even - even;
        step_odd_[e] = after_odd - odd;
        limit_[e] = limit;
        inverse_[e] = 1.0 / double(step_even_[e]);
    }
}

void SteadyPhase::advance(float& phase, float* out, int64_t n) const {
    float phi = phase;
    int64_t j = 0;
    while (j < n) {
        const float b = phi;
        const uint32_t e = exponent_field(b);
        const uint32_t bits = std::bit_cast<uint32_t>(b);
        // A progression needs a positive phase in a binade that has one, and an even value
        // unless the step is the same from both parities.
        if (b > 0.0f && e < uint32_t(FIELDS) && step_even_[e] > 0.0f &&
            ((bits & 1) == 0 || step_odd_[e] == step_even_[e])) {
            const float step = step_even_[e];
            const double room = double(limit_[e]) - double(b);
            // The count of further steps that stay within the limit; the product can fall a
            // hair short of a whole quotient, so check one more.
            int64_t steps = int64_t(room * inverse_[e]);
            if (double(steps + 1) * double(step) <= room) ++steps;
            if (steps >= 1) {
                const int64_t m = std::min(steps, n - j);
                if (out)
                    for (int64_t t = 0; t < m; ++t)
                        out[j + t] = b + float(t) * step;
                phi = b + float(m) * step;
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
