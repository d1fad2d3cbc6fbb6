// The fast path of the renderer: the same bytes as write_frames_reference, a block of frames
// at a time.
//
// Phase.  Without a sweep the phase step is constant, and inside one binade a float addition
// of it moves the phase by a constant multiple of the binade's spacing (two equal steps in a
// row prove it, a tie to even included), while a wrap's subtraction is exact.  So the phase
// runs are arithmetic progressions that can be written many at a time and skipped in O(1),
// and the phase at any block start is cheap to find.  With a sweep the step changes every
// frame: the steps are computed many at a time, the additions stay a serial chain.
//
// Samples.  Styles built from + - * / and square roots are exact in vector form.  Sines,
// cosines, the arc cosine and the power come from fast::, accurate to a few 1e-16; wherever a
// value lies within a far wider tolerance of a rounding boundary (whole numbers for the
// sample, 32-bit reals for the stored intermediates) the frame is recomputed with the
// correctly rounded functions of exact::, which define the waveform.  Sine takes one more
// step first: a pass in single precision, eight frames to a vector, whose wider tolerance
// sends about 2 % of the frames on to the double-precision test.
//
// Threads.  A steady phase is cheap to skip: one thread runs it ahead and publishes the phase
// at every block start, and every thread, that one included once it is done, renders blocks
// from those states.  A sweep's additions and the noise generator cannot be skipped, so they
// run once, on one thread, into a small ring of blocks that the other threads render (and,
// for a sweep, fill with the steps ahead).  One core simply renders the blocks in order.
// What each scheme gains on two cores over one thread, filling the largest tone (bench_render
// threads/..., medians of 7): a steady Sine 88 -> 53 ms, a Sine sweep 128 -> 75 ms, White
// Noise 80 -> 68 ms (its generator alone takes about 50 ms of one core).
#include "synth/conversions.h"
#include "synth/exact_math.h"
#include "synth/fast_clones.h"
#include "synth/fast_math.h"
#include "synth/fast_phase.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/random_state.h"
#include "toolkit/workers.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif
#include <limits>
#include <memory>
#include <vector>

static_assert(std::endian::native == std::endian::little, "the image is written little-endian");

namespace {
constexpr int32_t BLOCK = 2048;
// Far above the approximation error (a few 1e-16 relative) plus half an ulp of exact::.
constexpr double SAMPLE_TOLERANCE = 1e-7;
constexpr double REAL_TOLERANCE = 1e-13;
constexpr double PI32 = double(PI_F);
constexpr double INV_PI32 = 1.0 / PI32;
constexpr double INV_HALF_PI32 = 1.0 / double(HALF_PI_F);

// ---------------------------------------------------------------------------------------
// Phase

// The phase steps of a sweep for frames first .. first + n - 1: the step after frame i uses
// frame i's frequency.
// The quotient by the rate becomes a product with its reciprocal (within two ulps of the
// double); steps whose narrowing to float that could change are redone with the quotient.
// The frequency's own narrowing to float is exact either way: when the block's frequencies
// all lie in one binade [2^k, 2^(k+1)), adding and removing 1.5 x 2^(k+29) rounds to that
// binade's float spacing, ties to even, as the narrowing does, without the conversions.
constexpr int64_t STEP_TOLERANCE_ULPS = 64;

struct FrameIndex {
    alignas(64) double value[BLOCK];
    FrameIndex() {
        for (int32_t j = 0; j < BLOCK; ++j)
            value[j] = double(j);
    }
};
const FrameIndex FRAME_INDEX;

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

template <bool Store> void walk_sweep(float& phase, const float* dphi, float* out, int32_t n) {
    float phi = phase;
    for (int32_t j = 0; j < n; ++j) {
        if constexpr (Store) out[j] = phi;
        phi = phase_step(phi, dphi[j]);
    }
    phase = phi;
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

// ---------------------------------------------------------------------------------------
// Noise: the generator's own algorithm, inlined, on a copy of its state.

void draw_noise(RandomState& state, int32_t* out, int32_t n) {
    RandomState local = state; // in registers for the whole block
    for (int32_t j = 0; j < n; ++j) {
        const int32_t r = random_bounded(local, NOISE_RANGE_MAX);
        if (out) out[j] = r;
    }
    state = local;
}

// ---------------------------------------------------------------------------------------
// Samples, before the envelope.

// A frame of Sine in double precision, redone with exact:: near a rounding boundary.
int16_t sine_sample(float phi, double scale) {
    const double y = scale * fast::sin(double(phi));
    if (fast::rounds_firmly(y, SAMPLE_TOLERANCE)) return fast::q16(y);
    return q16(scale * exact::sin(double(phi))); // (-p) x is -(p x) exactly
}

// Sine in single precision first.  With the scale's rounding and the product's, a float
// sample lies within |scale| (SIN_F_ERROR + 2^-23) = |scale| 2.45e-7 of the true one, so
// only frames that close to a rounding boundary (about 2 % at full scale) or with a phase
// outside 0 .. 2 pi go on to sine_sample, and every frame of a scale above 32767 (its
// samples may leave 16 bits).
FAST_BODY void sine_block_body(const float* phase, int16_t* out, int32_t n, double p, bool invert) {
    const double scale = invert ? -p : p; // -(p x) is (-p) x exactly
    const float s = float(scale);
    if (!(std::fabs(s) <= 32767.0f)) {
        for (int32_t j = 0; j < n; ++j)
            out[j] = sine_sample(phase[j], scale);
        return;
    }
    const float room = 0.5f - (std::fabs(s) * (1.25f * (fast::SIN_F_ERROR + 0x1p-23f)) + 1e-6f);
    alignas(64) uint8_t unsure[BLOCK + 8];
    int32_t any = 0;
    for (int32_t j = 0; j < n; ++j) {
        const float x = phase[j];
        const float low = x > 0.0f ? x : 0.0f; // NaN too
        const float within = low < TWO_PI_F ? low : TWO_PI_F;
        const float y = s * fast::sin_f(within);
        const float r = fast::round_even_f(y); // |r| <= 32767
        const bool firm = (std::fabs(y - r) < room) & (within == x);
        out[j] = int16_t(int32_t(r));
        unsure[j] = uint8_t(!firm);
        any |= int32_t(!firm);
    }
    if (!any) return;
    // Eight flags at a time: most words are all clear.
    std::memset(unsure + n, 0, size_t(-n & 7));
    for (int32_t w = 0; w < n; w += 8) {
        uint64_t flags;
        std::memcpy(&flags, unsure + w, 8);
        for (; flags != 0; flags &= flags - 1) {
            const int32_t j = w + std::countr_zero(flags) / 8;
            out[j] = sine_sample(phase[j], scale);
        }
    }
}
FAST_VARIANTS(sine_block, (const float* phase, int16_t* out, int32_t n, double p, bool invert),
              (phase, out, n, p, invert))

// Saw and Triangle divide by a constant: multiplying by its reciprocal is within an ulp or
// two, and frames near a rounding boundary are redone with the quotient.
FAST_BODY void saw_block_body(const float* phase, int16_t* out, int32_t n, double p) {
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double y = p * (double(phase[j]) - PI32) * INV_PI32;
        out[j] = int16_t(int32_t(fast::round_even(y))); // within -peak .. peak: no range test
        unsure |= int32_t(!fast::rounds_firmly(y, SAMPLE_TOLERANCE));
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        if (!fast::rounds_firmly(p * (phi - PI32) * INV_PI32, SAMPLE_TOLERANCE))
            out[j] = q16(p * (phi - PI32) / PI32);
    }
}
FAST_VARIANTS(saw_block, (const float* phase, int16_t* out, int32_t n, double p),
              (phase, out, n, p))

// peak x sign(pi - phi) takes three values only; the float phase against the float pi decides
// which, exactly as the double comparison does.
FAST_BODY void square_block_body(const float* phase, int16_t* out, int32_t n, double p) {
    const int16_t high = q16(p), low = q16(-p);
    for (int32_t j = 0; j < n; ++j)
        out[j] = phase[j] < PI_F ? high : phase[j] > PI_F ? low : int16_t(0);
}
FAST_VARIANTS(square_block, (const float* phase, int16_t* out, int32_t n, double p),
              (phase, out, n, p))

// sign(pi - phi) x (phi - pi) is -|phi - pi| exactly (the difference of two floats is exact
// in double, and a product by +-1 too; at phi = pi both give a zero that 1 + 0 absorbs).  The
// triangle never leaves -peak .. peak, so the rounded value needs no range test.
FAST_BODY void triangle_block_body(const float* phase, int16_t* out, int32_t n, double p) {
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double y = p * (1.0 - std::fabs(double(phase[j]) - PI32) * INV_HALF_PI32);
        out[j] = int16_t(int32_t(fast::round_even(y)));
        unsure |= int32_t(!fast::rounds_firmly(y, SAMPLE_TOLERANCE));
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        const double sg = sign(PI32 - phi);
        if (!fast::rounds_firmly(p * (1.0 - std::fabs(phi - PI32) * INV_HALF_PI32),
                                 SAMPLE_TOLERANCE))
            out[j] = q16(p * (1.0 + sg * (phi - PI32) / double(HALF_PI_F)));
    }
}
FAST_VARIANTS(triangle_block, (const float* phase, int16_t* out, int32_t n, double p),
              (phase, out, n, p))

// c = cos((phi - pi) / pi) and c to the power pi, each stored as a float; ok tells whether
// both narrowings are certain.
inline double abs_sine_approx(double phi, double level, double p, bool& ok) {
    // A product instead of the quotient moves the argument by an ulp at most: well inside the
    // tolerance, which covers everything between the phase and the narrowing.
    const double ca = fast::cos_unit((phi - PI32) * INV_PI32);
    const float c = float(ca);
    const double pw = fast::pow_3(double(c), PI32);
    ok = fast::narrows_firmly(ca, REAL_TOLERANCE) & fast::narrows_firmly(pw, REAL_TOLERANCE) &
         (c >= 0.5f) & (std::fabs(phi - PI32) <= PI32);
    return double(float(pw)) * level * p;
}

FAST_BODY void abs_sine_block_body(const float* phase, int16_t* out, int32_t n, double p,
                                   double level) {
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        bool ok;
        out[j] = fast::q16(abs_sine_approx(double(phase[j]), level, p, ok));
        unsure |= int32_t(!ok);
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        bool ok;
        abs_sine_approx(phi, level, p, ok);
        if (ok) continue;
        const float c = float(exact::cos((phi - PI32) / PI32));
        const float power = float(exact::pow(double(c), PI32));
        out[j] = q16(double(power) * level * p);
    }
}
FAST_VARIANTS(abs_sine_block, (const float* phase, int16_t* out, int32_t n, double p, double level),
              (phase, out, n, p, level))

// sin phi sin 2 phi as sin phi (2 sin phi cos phi): one reduction instead of two.
inline double pink_product(double phi) {
    double s, c;
    fast::sin_cos(phi, s, c);
    return s * (2.0 * s * c);
}

FAST_BODY void pink_block_body(const float* phase, int16_t* out, int32_t n, double p,
                               double log10_peak) {
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        const double y = pink_product(phi) * p;
        const int16_t s0 = fast::q16(y);
        unsure |= int32_t(!fast::rounds_firmly(y, SAMPLE_TOLERANCE));
        out[j] = low16(fast::q32(std::fabs(p * std::sqrt(double(s0) * log10_peak))));
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        if (fast::rounds_firmly(pink_product(phi) * p, SAMPLE_TOLERANCE)) continue;
        const int16_t s0 = q16((exact::sin(phi) * exact::sin(2.0 * phi)) * p);
        out[j] = low16(q32(std::fabs(p * std::sqrt(double(s0) * log10_peak))));
    }
}
FAST_VARIANTS(pink_block,
              (const float* phase, int16_t* out, int32_t n, double p, double log10_peak),
              (phase, out, n, p, log10_peak))

FAST_BODY void abs_square_roots_body(const float* phase, float* root, int32_t n) {
    for (int32_t j = 0; j < n; ++j)
        root[j] = float(std::sqrt(double(phase[j])));
}
FAST_VARIANTS(abs_square_roots, (const float* phase, float* root, int32_t n), (phase, root, n))

// Frames whose phase lies in the arc cosine's domain: -sqrt(sin(angle) cos(phase) p).
FAST_BODY void abs_square_block_body(const float* phase, const float* angle, int16_t* out,
                                     int32_t n, double p) {
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double y =
            -std::sqrt((fast::sin(double(angle[j])) * fast::cos(double(phase[j]))) * p);
        out[j] = fast::q16(y);
        unsure |= int32_t(!fast::rounds_firmly(y, SAMPLE_TOLERANCE));
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        const double y = -std::sqrt((fast::sin(double(angle[j])) * fast::cos(phi)) * p);
        if (fast::rounds_firmly(y, SAMPLE_TOLERANCE)) continue;
        out[j] = q16(-std::sqrt((exact::sin(double(angle[j])) * exact::cos(phi)) * p));
    }
}
FAST_VARIANTS(abs_square_block,
              (const float* phase, const float* angle, int16_t* out, int32_t n, double p),
              (phase, angle, out, n, p))

// The 32-bit arc cosines of roots in [0, 1] from the approximation, or from exact:: where one
// could narrow to another 32-bit real.
FAST_BODY void arc_cosines_body(const float* root, float* angle, int32_t n) {
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double a = fast::acos(double(root[j]));
        angle[j] = float(a);
        unsure |= int32_t(!fast::narrows_firmly(a, REAL_TOLERANCE));
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j)
        if (!fast::narrows_firmly(fast::acos(double(root[j])), REAL_TOLERANCE))
            angle[j] = float(exact::acos(double(root[j])));
}
FAST_VARIANTS(arc_cosines, (const float* root, float* angle, int32_t n), (root, angle, n))

// The arc cosine is defined only up to 1: frames whose root is larger (phases above 1 radian,
// about five sixths of them) are -32768, and the others are gathered, so that the
// approximations run on them alone.
void abs_square(const float* phase, int16_t* out, int32_t n, double p) {
    alignas(64) float root[BLOCK];
    alignas(64) float domain_phase[BLOCK];
    alignas(64) float domain_root[BLOCK];
    alignas(64) float domain_angle[BLOCK];
    alignas(64) int16_t domain_out[BLOCK];
    alignas(64) int32_t domain_frame[BLOCK];
    abs_square_roots(phase, root, n);
    int32_t m = 0;
    for (int32_t j = 0; j < n; ++j) {
        out[j] = -32768;
        if (root[j] <= 1.0f) {
            domain_phase[m] = phase[j];
            domain_root[m] = root[j];
            domain_frame[m++] = j;
        }
    }
    arc_cosines(domain_root, domain_angle, m);
    abs_square_block(domain_phase, domain_angle, domain_out, m, p);
    for (int32_t k = 0; k < m; ++k)
        out[domain_frame[k]] = domain_out[k];
}

FAST_BODY void noise_block_body(const int32_t* r, int16_t* out, int32_t n, double p) {
    for (int32_t j = 0; j < n; ++j)
        out[j] = fast::q16(p * ((double(r[j]) + 1.0) / 1073741824.0 - 1.0));
}
FAST_VARIANTS(noise_block, (const int32_t* r, int16_t* out, int32_t n, double p), (r, out, n, p))

// ---------------------------------------------------------------------------------------
// Envelope and output

// The fade gain t = i / frames comes from a product with 1 / frames (within two ulps); frames whose
// faded value lies near a rounding boundary are redone with the quotient.
constexpr double ENVELOPE_TOLERANCE = 1e-8;

// One loop per mode, so that each vectorises to its own few operations.
template <int32_t Mode>
FAST_BODY int32_t envelope_pass(int16_t* s, int32_t n, double base, double inverse) {
    const double* index = FRAME_INDEX.value;
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double y = faded(double(s[j]), (base + index[j]) * inverse, Mode);
        s[j] = fast::q16(y);
        unsure |= int32_t(!fast::rounds_firmly(y, ENVELOPE_TOLERANCE));
    }
    return unsure;
}
FAST_BODY int32_t fade_in_pass_body(int16_t* s, int32_t n, double base, double inverse) {
    return envelope_pass<1>(s, n, base, inverse);
}
FAST_VARIANTS(fade_in_pass, (int16_t * s, int32_t n, double base, double inverse),
              (s, n, base, inverse))
FAST_BODY int32_t fade_out_pass_body(int16_t* s, int32_t n, double base, double inverse) {
    return envelope_pass<2>(s, n, base, inverse);
}
FAST_VARIANTS(fade_out_pass, (int16_t * s, int32_t n, double base, double inverse),
              (s, n, base, inverse))
FAST_BODY int32_t both_fades_pass_body(int16_t* s, int32_t n, double base, double inverse) {
    return envelope_pass<3>(s, n, base, inverse);
}
FAST_VARIANTS(both_fades_pass, (int16_t * s, int32_t n, double base, double inverse),
              (s, n, base, inverse))

void envelope_block(int16_t* s, int32_t n, int64_t first, int64_t frames, int32_t mode) {
    if (mode < 1 || mode > 3) return;
    const double base = double(first);
    const double inverse = 1.0 / double(frames);
    alignas(64) int16_t original[BLOCK];
    std::memcpy(original, s, size_t(n) * sizeof *s);
    const int32_t unsure = mode == 1   ? fade_in_pass(s, n, base, inverse)
                           : mode == 2 ? fade_out_pass(s, n, base, inverse)
                                       : both_fades_pass(s, n, base, inverse);
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double i = base + double(j);
        if (!fast::rounds_firmly(faded(double(original[j]), i * inverse, mode), ENVELOPE_TOLERANCE))
            s[j] = apply_envelope(original[j], mode, int64_t(i), frames);
    }
}

FAST_BODY void write_block_body(const int16_t* s, int32_t n, int32_t width, int32_t channels,
                                uint8_t* out) {
    if (width == 1) {
        if (channels == 1) {
            for (int32_t j = 0; j < n; ++j)
                out[j] = uint8_t(s[j] + 128);
        } else if (channels == 2) {
            for (int32_t j = 0; j < n; ++j) {
                const uint16_t pair = uint16_t(uint8_t(s[j] + 128) * 0x101u);
                std::memcpy(out + 2 * j, &pair, 2);
            }
        } else {
            for (int32_t j = 0; j < n; ++j)
                for (int32_t k = 0; k < channels; ++k)
                    *out++ = uint8_t(s[j] + 128);
        }
    } else {
        if (channels == 1) {
            std::memcpy(out, s, size_t(n) * 2);
        } else if (channels == 2) {
            for (int32_t j = 0; j < n; ++j) {
                const uint32_t pair = uint32_t(uint16_t(s[j])) * 0x10001u;
                std::memcpy(out + 4 * j, &pair, 4);
            }
        } else {
            for (int32_t j = 0; j < n; ++j)
                for (int32_t k = 0; k < channels; ++k) {
                    std::memcpy(out, &s[j], 2);
                    out += 2;
                }
        }
    }
}
FAST_VARIANTS(write_block,
              (const int16_t* s, int32_t n, int32_t width, int32_t channels, uint8_t* out),
              (s, n, width, channels, out))

// Copies a finished block into the image with streaming stores where the machine has them:
// the image is far larger than the caches and is not read again here, so its lines need not
// be fetched before they are overwritten.  The fence makes the stores visible before the
// block counts as written.
void stream_copy(uint8_t* dst, const uint8_t* src, size_t n) {
#if defined(__SSE2__)
    while (n > 0 && (reinterpret_cast<uintptr_t>(dst) & 15) != 0) {
        *dst++ = *src++;
        --n;
    }
    for (; n >= 64; n -= 64, dst += 64, src += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 48), d);
    }
    for (; n >= 16; n -= 16, dst += 16, src += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    std::memcpy(dst, src, n);
    _mm_sfence();
#else
    std::memcpy(dst, src, n);
#endif
}

// ---------------------------------------------------------------------------------------
// Blocks

// What the serial part leaves at a frame: the phase and the noise generator.
struct ChainState {
    float phase;
    RandomState noise;
};

// The tone and what is worked out once for all its blocks.
struct Tone {
    const ToneSetup& t;
    SteadyPhase steady;
};

bool uses_phase(int32_t style) {
    return style >= 0 && style < TONE_STYLE_COUNT && style != STYLE_WHITE_NOISE;
}

// Moves the chain over frames first .. first + n - 1, storing their phases when asked.
void advance(const Tone& tone, int64_t first, int32_t n, ChainState& st, float* phases,
             int32_t* noise) {
    const ToneSetup& t = tone.t;
    if (t.style == STYLE_WHITE_NOISE) {
        draw_noise(st.noise, noise, n);
    } else if (!uses_phase(t.style)) {
        return;
    } else if (t.sweep) {
        alignas(64) float dphi[BLOCK];
        sweep_steps(dphi, first, n, double(t.df), double(t.frequency), double(t.rate));
        if (phases)
            walk_sweep<true>(st.phase, dphi, phases, n);
        else
            walk_sweep<false>(st.phase, dphi, nullptr, n);
    } else {
        tone.steady.advance(st.phase, phases, n);
    }
}

// Every wait for another thread polls: a short spin, then the processor is offered to others.
// No thread ever sleeps on a wake-up that could be missed.
void back_off(int32_t& spins) {
    if (++spins < 64) {
#if defined(__SSE2__)
        _mm_pause();
#endif
    } else {
        worker_yield();
    }
}

// Where finished blocks go: the image's data, or a ring of chunks that are written out in
// order as each is complete (a stream).  A stream's blocks wait for their place in the ring,
// and whichever thread finds the oldest chunks complete writes them, one thread at a time.
class Destination {
  public:
    // The whole data, block b at b x BLOCK frames.
    Destination(const ToneSetup& t, uint8_t* data) : t_(t), data_(data) {}
    // A stream to `write`.
    Destination(const ToneSetup& t, int64_t blocks, FrameWriter write, void* context)
        : t_(t), blocks_(blocks), write_(write), context_(context),
          ring_(new uint8_t[size_t(RING_CHUNKS) * CHUNK_BLOCKS * BLOCK * t.block_align + PAGE]) {
        // Each piece sits where its bytes sit in a page of the file, after the 44-byte header:
        // copying 256 KiB between addresses that disagree in their low bits took the kernel
        // twice as long (tmpfs, 110 against 60 ms for the largest tone).
        const uintptr_t start = reinterpret_cast<uintptr_t>(ring_.get());
        data_ = ring_.get() + ((WAV_HEADER_SIZE - start) & (PAGE - 1));
        for (auto& d : done_)
            d.store(0, std::memory_order_relaxed);
    }

    bool streams() const { return write_ != nullptr; }
    bool failed() const { return failed_.load(std::memory_order_relaxed); }

    // Where block b goes; for a stream, once there is room for it (nullptr when the stream
    // has failed).
    uint8_t* place(int64_t b) {
        if (!streams()) return data_ + b * BLOCK * t_.block_align;
        int32_t spins = 0;
        while (b >= written_.load(std::memory_order_acquire) + RING_BLOCKS) {
            if (failed()) return nullptr;
            if (!flush()) back_off(spins);
        }
        return data_ + (b % RING_BLOCKS) * BLOCK * t_.block_align;
    }

    // Block b is in its place.
    void placed(int64_t b) {
        if (!streams()) return;
        done_[(b / CHUNK_BLOCKS) % RING_CHUNKS].fetch_add(1, std::memory_order_release);
        flush();
    }

    // Writes whatever complete chunks are next, unless another thread is at it; true when it
    // wrote any.  After the last block, finish() writes the rest.
    bool flush() {
        bool wrote = false;
        while (!failed() && !flushing_.exchange(true, std::memory_order_acquire)) {
            bool more = false;
            while (!failed() && written_.load(std::memory_order_relaxed) < blocks_) {
                const int64_t first = written_.load(std::memory_order_relaxed);
                const int64_t chunk = first / CHUNK_BLOCKS;
                const int32_t in_chunk = int32_t(std::min<int64_t>(CHUNK_BLOCKS, blocks_ - first));
                std::atomic<int32_t>& done = done_[chunk % RING_CHUNKS];
                if (done.load(std::memory_order_acquire) < in_chunk) break;
                const int64_t frames =
                    std::min<int64_t>(t_.frames - first * BLOCK, int64_t(in_chunk) * BLOCK);
                if (!write_(context_, data_ + (first % RING_BLOCKS) * BLOCK * t_.block_align,
                            size_t(frames) * size_t(t_.block_align)))
                    failed_.store(true, std::memory_order_relaxed);
                done.store(0, std::memory_order_relaxed);
                written_.store(first + in_chunk, std::memory_order_release);
                wrote = more = true;
            }
            flushing_.store(false, std::memory_order_release);
            // A chunk completed while this thread held the flush is written on the next pass.
            if (!more) break;
        }
        return wrote;
    }

    // Waits until every block is written; false when a write failed.
    bool finish() {
        int32_t spins = 0;
        while (!failed() && written_.load(std::memory_order_acquire) < blocks_)
            if (!flush()) back_off(spins);
        return !failed();
    }

  private:
    // 32 blocks of stereo 16-bit frames are 256 KiB a write.  A ring of 16 (4 MiB) lets the
    // renderers run well ahead of the writes: with 4 the largest Sine tone to tmpfs took
    // 152 ms and twice as many waits, with 16 139 ms (2 cores, medians of 11).
    static constexpr int64_t CHUNK_BLOCKS = 32;
    static constexpr int32_t RING_CHUNKS = 16;
    static constexpr int64_t RING_BLOCKS = CHUNK_BLOCKS * RING_CHUNKS;
    static constexpr size_t PAGE = 4096;

    const ToneSetup& t_;
    uint8_t* data_ = nullptr;
    int64_t blocks_ = 0;
    FrameWriter write_ = nullptr;
    void* context_ = nullptr;
    std::unique_ptr<uint8_t[]> ring_;
    alignas(64) std::atomic<int64_t> written_{0};
    alignas(64) std::atomic<bool> flushing_{false};
    std::atomic<bool> failed_{false};
    alignas(64) std::atomic<int32_t> done_[RING_CHUNKS];
};

// Turns the chain values of frames first .. first + n - 1 (their phases, or their noise
// draws) into samples, fades them and writes them to their place.
void shape_block(const ToneSetup& t, Destination& dst, int64_t first, int32_t n, const float* phase,
                 const int32_t* noise) {
    alignas(64) int16_t s[BLOCK];
    const double p = t.peak;
    switch (t.style) {
    case STYLE_SINE:
        sine_block(phase, s, n, p, false);
        break;
    case STYLE_INVERSE_SINE:
        sine_block(phase, s, n, p, true);
        break;
    case STYLE_SAW:
        saw_block(phase, s, n, p);
        break;
    case STYLE_ABSOLUTE_SINE:
        abs_sine_block(phase, s, n, p, t.abs_sine_level);
        break;
    case STYLE_SQUARE_WAVE:
        square_block(phase, s, n, p);
        break;
    case STYLE_TRIANGLE:
        triangle_block(phase, s, n, p);
        break;
    case STYLE_PINK_SYNTH:
        pink_block(phase, s, n, p, double(t.pink_log10_peak));
        break;
    case STYLE_ABSOLUTE_SQUARE:
        abs_square(phase, s, n, p);
        break;
    case STYLE_WHITE_NOISE:
        noise_block(noise, s, n, p);
        break;
    default:
        std::fill_n(s, n, int16_t(0));
        break;
    }
    envelope_block(s, n, first, t.frames, t.envelope);
    const int64_t block = first / BLOCK;
    uint8_t* out = dst.place(block);
    if (!out) return;
    if (dst.streams()) {
        write_block(s, n, t.width, t.channels, out);
    } else if (t.block_align <= 4) {
        alignas(64) uint8_t frames[4 * BLOCK];
        write_block(s, n, t.width, t.channels, frames);
        stream_copy(out, frames, size_t(n) * size_t(t.block_align));
    } else {
        write_block(s, n, t.width, t.channels, out);
    }
    dst.placed(block);
}

void render_block(const Tone& tone, Destination& dst, int64_t first, int32_t n, ChainState& st) {
    alignas(64) float phase[BLOCK];
    alignas(64) int32_t noise[BLOCK];
    advance(tone, first, n, st, phase, noise);
    shape_block(tone.t, dst, first, n, phase, noise);
}

int32_t block_frames(const ToneSetup& t, int64_t block) {
    return int32_t(std::min<int64_t>(BLOCK, t.frames - block * BLOCK));
}

void render_serial(const Tone& tone, Destination& dst, int64_t blocks, ChainState& st) {
    for (int64_t b = 0; b < blocks && !dst.failed(); ++b)
        render_block(tone, dst, b * BLOCK, block_frames(tone.t, b), st);
}

// Tones shorter than this are not worth a thread.
constexpr int64_t MIN_PARALLEL_BLOCKS = 16;
constexpr unsigned MAX_THREADS = 8;

// Runs job(k) on the calling thread (k = 0) and on up to threads - 1 helpers (k = 1, 2, ...);
// every job shares out whatever is left, so it does not matter how many helpers start.
template <class Job> void run_jobs(unsigned threads, Job& job) {
    run_workers(
        threads, [](void* context, unsigned k) noexcept { (*static_cast<Job*>(context))(k); },
        &job);
}

// The steady phase run ahead on one thread, the blocks shared out: the largest Sine fills in
// 53 ms on two cores against 88 ms on one (bench_render threads/...).
void render_parallel(const Tone& tone, Destination& dst, int64_t blocks, unsigned threads,
                     ChainState& st) {
    const ToneSetup& t = tone.t;
    std::vector<ChainState> starts(static_cast<size_t>(blocks));
    std::atomic<int32_t> published{0};
    std::atomic<int64_t> next{0};
    const ChainState initial = st;
    ChainState final_state = st;

    auto run_ahead = [&] {
        ChainState chain = initial;
        for (int64_t b = 0; b < blocks; ++b) {
            starts[size_t(b)] = chain;
            advance(tone, b * BLOCK, block_frames(t, b), chain, nullptr, nullptr);
            published.store(int32_t(b + 1), std::memory_order_release);
        }
        final_state = chain;
    };
    auto work = [&] {
        for (;;) {
            const int64_t b = next.fetch_add(1, std::memory_order_relaxed);
            if (b >= blocks || dst.failed()) return;
            int32_t spins = 0;
            while (published.load(std::memory_order_acquire) <= b)
                back_off(spins);
            ChainState chain = starts[size_t(b)];
            render_block(tone, dst, b * BLOCK, block_frames(t, b), chain);
        }
    };
    auto job = [&](unsigned k) {
        if (k == 0) run_ahead();
        work();
    };
    run_jobs(threads, job);
    st = final_state;
}

// When the chain itself is the costly part (a sweep's phases, the noise draws), it runs once,
// on one thread, into a ring of blocks, and everything around it is shared out: every thread
// turns published blocks into samples, the chain's own thread too whenever the ring is full,
// and for a sweep the other threads work out the phase steps of the blocks ahead, so that the
// chain's thread is left with the additions alone.  A slot goes round as: steps (sweep only),
// then the phases written over them, then rendered and free for the block RING_SLOTS later.
// The largest tone on two cores against one: a Sine sweep 75 ms against 128, White Noise 68
// against 80 (bench_render threads/...).
constexpr int32_t RING_SLOTS = 16;
constexpr int32_t STEPS_AHEAD = 4;

struct ChainRing {
    union Slot {
        float phase[BLOCK];
        int32_t noise[BLOCK];
    };
    alignas(64) std::atomic<int32_t> produced{0};   // blocks whose chain values are in the ring
    alignas(64) std::atomic<int32_t> claimed{0};    // blocks handed to a thread to render
    alignas(64) std::atomic<int32_t> next_steps{0}; // blocks whose steps someone computes
    // Per slot: the first block that may be written into it (block b, once block b - SLOTS
    // there is rendered), and one past the block whose steps it holds.
    alignas(64) std::atomic<int32_t> free_from[RING_SLOTS];
    alignas(64) std::atomic<int32_t> stepped[RING_SLOTS];
    alignas(64) Slot slots[RING_SLOTS];
};

void render_ring(const Tone& tone, Destination& dst, int32_t blocks, unsigned threads,
                 ChainState& st) {
    const ToneSetup& t = tone.t;
    const bool sweep = t.sweep && uses_phase(t.style);
    const std::unique_ptr<ChainRing> ring(new ChainRing);
    for (int32_t k = 0; k < RING_SLOTS; ++k) {
        ring->free_from[k].store(k, std::memory_order_relaxed);
        ring->stepped[k].store(0, std::memory_order_relaxed);
    }

    // Claims and renders the oldest block already in the ring that nobody has claimed.
    auto render_published = [&] {
        int32_t b = ring->claimed.load(std::memory_order_relaxed);
        while (b < blocks && b < ring->produced.load(std::memory_order_acquire)) {
            if (ring->claimed.compare_exchange_weak(b, b + 1, std::memory_order_relaxed)) {
                ChainRing::Slot& slot = ring->slots[b % RING_SLOTS];
                shape_block(t, dst, int64_t(b) * BLOCK, block_frames(t, b), slot.phase, slot.noise);
                ring->free_from[b % RING_SLOTS].store(b + RING_SLOTS, std::memory_order_release);
                return true;
            }
        }
        return false;
    };
    // Claims the next block whose steps are still to be computed, up to block last, once its
    // slot is free, and computes them.
    auto compute_steps = [&](int32_t last) {
        int32_t b = ring->next_steps.load(std::memory_order_relaxed);
        while (b <= last && b < blocks &&
               ring->free_from[b % RING_SLOTS].load(std::memory_order_acquire) >= b) {
            if (ring->next_steps.compare_exchange_weak(b, b + 1, std::memory_order_relaxed)) {
                sweep_steps(ring->slots[b % RING_SLOTS].phase, int64_t(b) * BLOCK,
                            block_frames(t, b), double(t.df), double(t.frequency), double(t.rate));
                ring->stepped[b % RING_SLOTS].store(b + 1, std::memory_order_release);
                return true;
            }
        }
        return false;
    };
    auto produce = [&] {
        ChainState chain = st;
        for (int32_t b = 0; b < blocks; ++b) {
            const int32_t k = b % RING_SLOTS;
            int32_t spins = 0;
            while (ring->free_from[k].load(std::memory_order_acquire) < b)
                if (!render_published()) back_off(spins);
            ChainRing::Slot& slot = ring->slots[k];
            const int32_t n = block_frames(t, b);
            if (sweep) {
                while (ring->stepped[k].load(std::memory_order_acquire) != b + 1)
                    if (!compute_steps(b)) back_off(spins);
                walk_sweep_in_place(chain.phase, slot.phase, n);
            } else {
                advance(tone, int64_t(b) * BLOCK, n, chain, slot.phase, slot.noise);
            }
            ring->produced.store(b + 1, std::memory_order_release);
        }
        st = chain;
    };
    auto work = [&] {
        int32_t spins = 0;
        while (ring->claimed.load(std::memory_order_relaxed) < blocks) {
            // Steps a few blocks ahead of the chain come first: the chain must never wait.
            const bool steps_due =
                sweep && ring->next_steps.load(std::memory_order_relaxed) <
                             ring->produced.load(std::memory_order_relaxed) + STEPS_AHEAD;
            if ((steps_due && compute_steps(blocks)) || render_published() ||
                (sweep && compute_steps(blocks)))
                spins = 0;
            else
                back_off(spins);
        }
    };

    // With fewer helpers than hoped, or none, the chain's thread computes the steps and renders
    // the blocks itself whenever the ring is full.
    auto job = [&](unsigned k) {
        if (k == 0) produce();
        work();
    };
    run_jobs(threads, job);
}

std::atomic<unsigned> thread_limit{0};

// Renders every block to the destination, on as many threads as are worth it.
void render(const ToneSetup& t, Destination& dst) {
    RandomState& generator = random_process_state();
    ChainState st{t.phase, generator};
    const int64_t blocks = (t.frames + BLOCK - 1) / BLOCK;
    const Tone tone{t, SteadyPhase(t.dphi)};
    const unsigned limit = thread_limit.load(std::memory_order_relaxed);
    const unsigned threads =
        std::min({processor_count(), MAX_THREADS, limit ? limit : MAX_THREADS});
    bool done = false;
    if (threads >= 2 && blocks >= MIN_PARALLEL_BLOCKS) {
        try {
            if (t.style == STYLE_WHITE_NOISE || (t.sweep && uses_phase(t.style)))
                render_ring(tone, dst, int32_t(blocks), threads, st);
            else
                render_parallel(tone, dst, blocks, threads, st);
            done = true;
        } catch (...) {
            // No memory for the block starts: nothing is written yet, render on this thread.
        }
    }
    if (!done) render_serial(tone, dst, blocks, st);
    if (t.style == STYLE_WHITE_NOISE) generator = st.noise;
}
} // namespace

void set_render_threads(unsigned threads) {
    thread_limit.store(threads, std::memory_order_relaxed);
}

void write_frames(const ToneSetup& t, uint8_t* data) {
    if (t.frames <= 0) return;
    Destination dst(t, data);
    render(t, dst);
}

bool stream_frames(const ToneSetup& t, FrameWriter write, void* context) {
    if (t.frames <= 0) return true;
    Destination dst(t, (t.frames + BLOCK - 1) / BLOCK, write, context);
    render(t, dst);
    return dst.finish();
}
