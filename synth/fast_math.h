// Branch-free double-precision approximations that the compiler can vectorise (and one in
// single precision, sin_f), and the rounding helpers the fast renderer checks them with.  Each
// double approximation is accurate to a few units of 1e-16 on the range it is used for; callers
// compare against a tolerance far wider than that (and than half an ulp) and fall back to the
// correctly rounded function of exact_math.h wherever a result lies that close to a rounding
// boundary.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace fast {

// fast::bit_cast, which the web build's standard library does not have yet.
template <class To, class From> constexpr To bit_cast(const From& from) noexcept {
    return __builtin_bit_cast(To, from);
}

// Adding and removing 1.5 * 2^52 rounds any |x| < 2^51 to a whole number, ties to even, in
// the default rounding mode; larger values come back roughly unchanged.
constexpr double ROUND_MAGIC = 6755399441055744.0;
inline double round_even(double x) {
    return (x + ROUND_MAGIC) - ROUND_MAGIC;
}

// Nearest whole number as a signed 16-bit value; NaN or out of range gives -32768.
inline int16_t q16(double x) {
    const double r = round_even(x);
    return ((r >= -32768.0) & (r <= 32767.0)) ? int16_t(int32_t(r)) : int16_t(-32768);
}

// The same into 32 bits; NaN or out of range gives -2147483648.
inline int32_t q32(double x) {
    const double r = round_even(x);
    return ((r >= -2147483648.0) & (r <= 2147483647.0)) ? int32_t(r) : INT32_MIN;
}

// True when every value within tol of x rounds to the same whole number: x lies less than
// 1/2 - tol from its nearest one (x - round_even(x) is exact below 2^51).  The rounding is the
// one q16 makes of x, so the two share it.
inline bool rounds_firmly(double x, double tol) {
    return std::fabs(x - round_even(x)) < 0.5 - tol;
}

// True when every value within tol of x rounds to the same 32-bit real.
inline bool narrows_firmly(double x, double tol) {
    return float(x - tol) == float(x + tol);
}

// The same for a positive normal x whose narrowing is a normal float, with the tolerance in
// units in the last place of x, from x's bits alone: the 29 bits below the float's precision
// decide the rounding, so x narrows firmly unless they lie within ulps of the half-way
// pattern.  No conversions: cheap in vector form.
inline bool narrows_firmly_ulps(double x, int64_t ulps) {
    constexpr uint64_t LOW = (uint64_t(1) << 29) - 1;
    const int64_t offset = int64_t(fast::bit_cast<uint64_t>(x) & LOW) - (int64_t(1) << 28);
    return (offset > ulps) | (offset < -ulps);
}

// c[0] + z (c[1] + z (c[2] + ... + z c[N - 1])), by Horner's rule from the highest term; every
// series below is one of these.
template <class Real, size_t N>
[[gnu::always_inline]] inline Real polynomial(Real z, const Real (&c)[N]) {
    Real p = c[N - 1];
#pragma GCC unroll 16
    for (size_t i = N - 1; i > 0; --i)
        p = c[i - 1] + z * p;
    return p;
}

// pi/2 in two parts: the first has 33 significant bits, so k * PIO2_HI is exact for small k.
constexpr double PIO2_HI = 1.5707963267341256;
constexpr double PIO2_LO = 6.077100506506192e-11;
constexpr double TWO_OVER_PI = 0.6366197723675814;

// sin and cos of the reduced argument r, |r| <= pi/4 (Taylor series to r^15 and r^16; the next
// terms are below 1e-16 of the result).
inline double sin_poly(double r) {
    constexpr double C[] = {
        -1.0 / 6.0,        1.0 / 120.0,        -1.0 / 5040.0,         1.0 / 362880.0,
        -1.0 / 39916800.0, 1.0 / 6227020800.0, -1.0 / 1307674368000.0};
    const double z = r * r;
    return r + (r * z) * polynomial(z, C);
}
inline double cos_poly(double r) {
    constexpr double C[] = {
        1.0 / 24.0,        -1.0 / 720.0,         1.0 / 40320.0,         -1.0 / 3628800.0,
        1.0 / 479001600.0, -1.0 / 87178291200.0, 1.0 / 20922789888000.0};
    const double z = r * r;
    return (1.0 - 0.5 * z) + (z * z) * polynomial(z, C);
}

// asin s for 0 <= s <= 1/2, within a few ulps: four terms of the series, then two Newton
// steps on sin y = s (each squares the error: 1e-5, 1e-11, then the rounding's own).
inline double asin_half(double s) {
    constexpr double C[] = {1.0 / 6.0, 3.0 / 40.0, 5.0 / 112.0, 35.0 / 1152.0};
    const double z = s * s;
    double y = s + (s * z) * polynomial(z, C);
    y -= (sin_poly(y) - s) / cos_poly(y);
    y -= (sin_poly(y) - s) / cos_poly(y);
    return y;
}

// acos x for 0 <= x <= 1, within a few ulps: pi/2 - asin x below 1/2, 2 asin sqrt((1 - x) / 2)
// from 1/2 on (1 - x and the halving are exact there).
constexpr double HALF_PI = 1.5707963267948966;
inline double acos(double x) {
    const bool high = x >= 0.5;
    const double y = asin_half(high ? std::sqrt((1.0 - x) * 0.5) : x);
    return high ? 2.0 * y : HALF_PI - y;
}

// Quadrant k mod 4 and remainder r with x = k * pi/2 + r, for |x| below about 1e5.  The
// quadrant comes from the low bits of the shifted sum, which hold k in two's complement.
inline double reduce_quadrant(double x, int64_t& quadrant) {
    const double shifted = x * TWO_OVER_PI + ROUND_MAGIC;
    const double k = shifted - ROUND_MAGIC;
    quadrant = fast::bit_cast<int64_t>(shifted) & 3;
    return (x - k * PIO2_HI) - k * PIO2_LO;
}

// sin x for |x| below about 1e5: x = k pi + r with |r| <= pi/2, sin x = (-1)^k sin r, one odd
// Taylor polynomial to r^19 (the next term is below 3e-16).
inline double sin(double x) {
    // 1/3!, -1/5!, ..., 1/19!
    constexpr double C[] = {1.0 / 6.0,
                            -1.0 / 120.0,
                            1.0 / 5040.0,
                            -1.0 / 362880.0,
                            1.0 / 39916800.0,
                            -1.0 / 6227020800.0,
                            1.0 / 1307674368000.0,
                            -1.0 / 355687428096000.0,
                            1.0 / 121645100408832000.0};
    const double shifted = x * (0.5 * TWO_OVER_PI) + ROUND_MAGIC;
    const double k = shifted - ROUND_MAGIC;
    const double r = (x - k * (2.0 * PIO2_HI)) - k * (2.0 * PIO2_LO);
    const double v = r - (r * (r * r)) * polynomial(r * r, C);
    return (fast::bit_cast<int64_t>(shifted) & 1) ? -v : v;
}

// Single precision, eight to a vector where doubles go four: round_even for |x| < 2^22, and
// sin x for 0 <= x <= 2 pi, x = k pi + r as above (k is 0, 1 or 2, so k * PI_A and x - k * PI_A
// are exact), the series to r^13.  Checked against sin at every float from 0 to 2 pi: it is
// never more than 1.26e-7 away (about two units of 2^-24).
constexpr float ROUND_MAGIC_F = 12582912.0f;
inline float round_even_f(float x) {
    return (x + ROUND_MAGIC_F) - ROUND_MAGIC_F;
}
constexpr float PI_A = float(2.0 * HALF_PI);
constexpr float PI_B = float(2.0 * HALF_PI - double(PI_A));
constexpr float SIN_F_ERROR = 1.26e-7f;
inline float sin_f(float x) {
    const float shifted = x * float(0.5 * TWO_OVER_PI) + ROUND_MAGIC_F;
    const float k = shifted - ROUND_MAGIC_F;
    const float r = (x - k * PI_A) - k * PI_B;
    const float z = r * r;
    constexpr float C[] = {-1.0f / 6.0f,     1.0f / 120.0f,       -1.0f / 5040.0f,
                           1.0f / 362880.0f, -1.0f / 39916800.0f, 1.0f / 6227020800.0f};
    const float p = polynomial(z, C);
    const float v = r + (r * z) * p;
    const uint32_t sign = (fast::bit_cast<uint32_t>(shifted) & 1u) << 31;
    return fast::bit_cast<float>(fast::bit_cast<uint32_t>(v) ^ sign);
}

// sin x and cos x for |x| below about 1e5, from one reduction.
inline void sin_cos(double x, double& sine, double& cosine) {
    int64_t q;
    const double r = reduce_quadrant(x, q);
    const double s = sin_poly(r);
    const double c = cos_poly(r);
    const double sv = (q & 1) ? c : s;
    const double cv = (q & 1) ? s : c;
    sine = (q & 2) ? -sv : sv;
    cosine = ((q + 1) & 2) ? -cv : cv;
}

inline double cos(double x) {
    double s, c;
    sin_cos(x, s, c);
    return c;
}

// cos x for |x| <= 1, without reduction: the even Taylor polynomial to x^16 (the next term is
// below 2e-16).
inline double cos_unit(double x) {
    // 1/2!, -1/4!, ..., -1/16!
    constexpr double C[] = {0.5,
                            -1.0 / 24.0,
                            1.0 / 720.0,
                            -1.0 / 40320.0,
                            1.0 / 3628800.0,
                            -1.0 / 479001600.0,
                            1.0 / 87178291200.0,
                            -1.0 / 20922789888000.0};
    const double z = x * x;
    return 1.0 - z * polynomial(z, C);
}

constexpr double LN2 = 0.6931471805599453;
constexpr double SQRT_HALF = 0.70710678118654752;

// Natural logarithm for 0.5 <= x < 2: log x = 2 atanh((x - 1) / (x + 1)), after doubling x
// below sqrt(1/2) so that the series argument stays within 0.172 (the first term left out,
// 2 z^19 / 19, is below 4e-16).
inline double log(double x) {
    const bool low = x < SQRT_HALF;
    const double m = low ? x * 2.0 : x;
    const double offset = low ? -LN2 : 0.0;
    const double z = (m - 1.0) / (m + 1.0);
    constexpr double C[] = {1.0,        1.0 / 3.0,  1.0 / 5.0,  1.0 / 7.0, 1.0 / 9.0,
                            1.0 / 11.0, 1.0 / 13.0, 1.0 / 15.0, 1.0 / 17.0};
    const double p = polynomial(z * z, C);
    return offset + (2.0 * z) * p;
}

// x^y for 0.5 <= x <= 1 and 3 <= y <= 3.15, as x^3 e^((y - 3) log x): the exponent lies in
// [-0.104, 0], where the Taylor series of e^r to r^9 needs no reduction (the next term is below
// 5e-17), and the logarithm's error reaches the result only a seventh as large.
inline double pow_3(double x, double y) {
    // 1/0!, 1/1!, ..., 1/9!
    constexpr double C[] = {1.0,         1.0,         0.5,          1.0 / 6.0,     1.0 / 24.0,
                            1.0 / 120.0, 1.0 / 720.0, 1.0 / 5040.0, 1.0 / 40320.0, 1.0 / 362880.0};
    const double e = polynomial((y - 3.0) * log(x), C);
    return ((x * x) * x) * e;
}

} // namespace fast
