#include "synth/fast_phase.h"
#include "synth/fast_block.h"

#include "synth/fast_clones.h"
#include "synth/fast_math.h"
#include "synth/tone.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {
inline uint32_t exponent_field(float x) {
    return fast::bit_cast<uint32_t>(x) >> 23;
}
inline float from_fields(uint32_t exponent, uint32_t mantissa) {
    return fast::bit_cast<float>((exponent << 23) | mantissa);
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
            fast::bit_cast<uint32_t>(after_even) - fast::bit_cast<uint32_t>(even);
        const uint32_t step_odd = fast::bit_cast<uint32_t>(after_odd) - fast::bit_cast<uint32_t>(odd);
        // A step too small to move the phase (no tone has one) is left to single steps.
        if (step_even == 0 || step_odd == 0) continue;
        step_even_[e] = step_even;
        step_odd_[e] = step_odd;
        limit_[e] = fast::bit_cast<uint32_t>(limit) & MANTISSA;
        reciprocal_[e] = uint32_t((uint64_t(1) << 32) / step_even_[e]);
    }
}

void SteadyPhase::advance(float& phase, float* out, int64_t n) const {
    float phi = phase;
    int64_t j = 0;
    while (j < n) {
        const float b = phi;
        const uint32_t bits = fast::bit_cast<uint32_t>(b);
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
                phi = fast::bit_cast<float>(bits + uint32_t(m) * step);
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

const FrameIndex FRAME_INDEX;

// Sweeps -----------------------------------------------------------------------------------------

namespace {

// The phase steps of a sweep for frames first .. first + n - 1: the step after frame i uses
// frame i's frequency.
// The quotient by the rate becomes a product with its reciprocal (within two ulps of the
// double); steps whose narrowing to float that could change are redone with the quotient.
// The frequency's own narrowing to float is exact either way: when the block's frequencies
// all lie in one binade [2^k, 2^(k+1)), adding and removing 1.5 x 2^(k+29) rounds to that
// binade's float spacing, ties to even, as the narrowing does, without the conversions.
constexpr int64_t STEP_TOLERANCE_ULPS = 64;

FAST_BODY void sweep_steps_in_binade_body(float* dphi, double base, int32_t n, double df, double f,
                                          double inverse, double magic, int32_t& unsure) {
    const double* index = FRAME_INDEX.value;
    int32_t flags = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double current = ((base + index[j]) * df + f + magic) - magic;
        const double step = current * inverse * double(TWO_PI_F);
        dphi[j] = float(step);
        flags |= int32_t(!fast::narrows_firmly_ulps(step, STEP_TOLERANCE_ULPS));
    }
    unsure = flags;
}
FAST_VARIANTS(sweep_steps_in_binade,
              (float* dphi, double base, int32_t n, double df, double f, double inverse,
               double magic, int32_t& unsure),
              (dphi, base, n, df, f, inverse, magic, unsure))

FAST_BODY void sweep_steps_general_body(float* dphi, double base, int32_t n, double df, double f,
                                        double inverse, int32_t& unsure) {
    int32_t flags = 0;
    for (int32_t j = 0; j < n; ++j) {
        const float current = float((base + double(j)) * df + f);
        const double step = double(current) * inverse * double(TWO_PI_F);
        dphi[j] = float(step);
        flags |= int32_t(!fast::narrows_firmly_ulps(step, STEP_TOLERANCE_ULPS));
    }
    unsure = flags;
}
FAST_VARIANTS(sweep_steps_general,
              (float* dphi, double base, int32_t n, double df, double f, double inverse,
               int32_t& unsure),
              (dphi, base, n, df, f, inverse, unsure))
} // namespace

void sweep_steps(float* dphi, int64_t first, int32_t n, double df, double f, double rate) {
    if (n <= 0) return;
    const double base = double(first);
    const double inverse = 1.0 / rate;
    int32_t unsure = 0;
    // The frequencies run monotonically through the block: its ends bound them all.
    const double low = base * df + f, high = (base + double(n - 1)) * df + f;
    int exponent = 0;
    const double mantissa = std::frexp(low, &exponent); // low = mantissa x 2^exponent
    const double floor_power = std::ldexp(1.0, exponent - 1);
    if (mantissa >= 0.5 && low >= floor_power && low < 2.0 * floor_power && high >= floor_power &&
        high < 2.0 * floor_power && exponent - 1 > -100 && exponent - 1 < 100) {
        const double magic = 1.5 * std::ldexp(1.0, exponent - 1 + 29);
        sweep_steps_in_binade(dphi, base, n, df, f, inverse, magic, unsure);
    } else {
        sweep_steps_general(dphi, base, n, df, f, inverse, unsure);
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const float current = float((base + double(j)) * df + f);
        const double step = double(current) * inverse * double(TWO_PI_F);
        if (!fast::narrows_firmly_ulps(step, STEP_TOLERANCE_ULPS))
            dphi[j] = phase_increment(current, rate);
        else
            dphi[j] = float(step);
    }
}

// The same walk over steps held in the array that receives the phases.
void walk_sweep_in_place(float& phase, float* steps, int32_t n) {
    float phi = phase;
    for (int32_t j = 0; j < n; ++j) {
        const float dphi = steps[j];
        steps[j] = phi;
        phi = phase_step(phi, dphi);
    }
    phase = phi;
}

// Noise: the generator's own algorithm, inlined, on a copy of its state.
void draw_noise(RandomState& state, int32_t* out, int32_t n) {
    RandomState local = state; // in registers for the whole block
    for (int32_t j = 0; j < n; ++j) {
        const int32_t r = random_bounded(local, NOISE_RANGE_MAX);
        if (out) out[j] = r;
    }
    state = local;
}
