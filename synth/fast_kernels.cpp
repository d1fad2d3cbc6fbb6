// The fast renderer's samples, before the envelope: one kernel per style over a block of
// phases (or, for White Noise, of the generator's draws), each the same bytes as the reference's
// formula for the style.
//
// Styles built from + - * / and square roots are exact in vector form.  Sines, cosines, the arc
// cosine and the power come from fast::, accurate to a few 1e-16; wherever a value lies within a
// far wider tolerance of a rounding boundary (whole numbers for the sample, 32-bit reals for the
// stored intermediates) the frame is recomputed with the correctly rounded functions of exact::,
// which define the waveform.  Sine takes one more step first: a pass in single precision, eight
// frames to a vector, whose wider tolerance sends about 2 % of the frames on to the
// double-precision test.
#include "synth/fast_kernels.h"
#include "synth/conversions.h"
#include "synth/exact_math.h"
#include "synth/fast_block.h"
#include "synth/fast_clones.h"
#include "synth/fast_math.h"
#include "synth/styles.h"
#include "synth/tone.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

namespace {
// Far above the approximation error (a few 1e-16 relative) plus half an ulp of exact::.
constexpr double SAMPLE_TOLERANCE = 1e-7;
constexpr double REAL_TOLERANCE = 1e-13;
constexpr double PI32 = double(PI_F);
constexpr double INV_PI32 = 1.0 / PI32;
constexpr double INV_HALF_PI32 = 1.0 / double(HALF_PI_F);

// A frame of Sine in double precision, redone with exact:: near a rounding boundary.
int16_t sine_sample(float phi, double scale) {
    const double y = scale * fast::sin(double(phi));
    if (fast::rounds_firmly(y, SAMPLE_TOLERANCE)) return fast::q16(y);
    return style::sine(scale, double(phi)); // (-p) x is -(p x) exactly
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
            out[j] = style::saw(p, phi);
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
        if (!fast::rounds_firmly(p * (1.0 - std::fabs(phi - PI32) * INV_HALF_PI32),
                                 SAMPLE_TOLERANCE))
            out[j] = style::triangle(p, phi);
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
    ok = (int(fast::narrows_firmly(ca, REAL_TOLERANCE)) &
          int(fast::narrows_firmly(pw, REAL_TOLERANCE)) & int(c >= 0.5f) &
          int(std::fabs(phi - PI32) <= PI32)) != 0;
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
        if (!ok) out[j] = style::absolute_sine(p, phi, level);
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
        // style::pink_fold in vector form.
        out[j] = low16(fast::q32(std::fabs(p * std::sqrt(double(s0) * log10_peak))));
    }
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double phi = phase[j];
        if (!fast::rounds_firmly(pink_product(phi) * p, SAMPLE_TOLERANCE))
            out[j] = style::pink_synth(p, phi, log10_peak);
    }
}
FAST_VARIANTS(pink_block,
              (const float* phase, int16_t* out, int32_t n, double p, double log10_peak),
              (phase, out, n, p, log10_peak))

FAST_BODY void abs_square_roots_body(const float* phase, float* root, int32_t n) {
    for (int32_t j = 0; j < n; ++j)
        root[j] = style::absolute_square_root(double(phase[j]));
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
        if (!fast::rounds_firmly(y, SAMPLE_TOLERANCE))
            out[j] = style::absolute_square_at(p, phi, angle[j]);
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
            angle[j] = style::absolute_square_angle(root[j]);
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
        out[j] = fast::q16(style::white_noise_value(p, r[j]));
}
FAST_VARIANTS(noise_block, (const int32_t* r, int16_t* out, int32_t n, double p), (r, out, n, p))

} // namespace

void fast_samples(const ToneSetup& t, const float* phase, const int32_t* noise, int32_t n,
                  int16_t* s) {
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
}
