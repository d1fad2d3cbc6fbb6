// Double-double evaluation: every value is an unevaluated sum of two doubles.  The sums and
// products below are error-free transformations (Knuth's two-sum, Dekker's split product, no
// fused multiply-add), so the arithmetic is plain IEEE double and gives the same bits on
// every machine.  Series terms too small to need the second double are summed in double.
#include "synth/exact_math.h"

#include "synth/fast_math.h"

#include <cmath>
#include <cstdint>
#include <limits>

namespace exact {
namespace {

using DD = DoubleDouble;

constexpr DD two_sum(double a, double b) {
    const double s = a + b;
    const double v = s - a;
    return {s, (a - (s - v)) + (b - v)};
}
// For |a| >= |b| (or a zero).
constexpr DD quick_two_sum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}
constexpr DD split(double a) {
    const double c = 134217729.0 * a; // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}
constexpr DD two_prod(double a, double b) {
    const double p = a * b;
    const DD x = split(a), y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

constexpr DD add(DD a, DD b) {
    const DD s = two_sum(a.hi, b.hi);
    const DD t = two_sum(a.lo, b.lo);
    const DD u = quick_two_sum(s.hi, s.lo + t.hi);
    return quick_two_sum(u.hi, u.lo + t.lo);
}
// The same for sums that cannot cancel (a series step: a coefficient plus a far smaller
// term), where one error-free sum of the leading parts is enough.
constexpr DD add_dominant(DD a, DD b) {
    const DD s = two_sum(a.hi, b.hi);
    return quick_two_sum(s.hi, s.lo + (a.lo + b.lo));
}
constexpr DD neg(DD a) {
    return {-a.hi, -a.lo};
}
constexpr DD sub(DD a, DD b) {
    return add(a, neg(b));
}
constexpr DD add(DD a, double b) {
    const DD s = two_sum(a.hi, b);
    return quick_two_sum(s.hi, s.lo + a.lo);
}
constexpr DD mul(DD a, DD b) {
    const DD p = two_prod(a.hi, b.hi);
    return quick_two_sum(p.hi, p.lo + (a.hi * b.lo + a.lo * b.hi));
}
constexpr DD mul(DD a, double b) {
    const DD p = two_prod(a.hi, b);
    return quick_two_sum(p.hi, p.lo + a.lo * b);
}
constexpr DD div(DD a, DD b) {
    const double q1 = a.hi / b.hi;
    const DD r = sub(a, mul(b, q1));
    const double q2 = r.hi / b.hi;
    const DD s = sub(r, mul(b, q2));
    const double q3 = s.hi / b.hi;
    return add(quick_two_sum(q1, q2), q3);
}
// 1 / n for a whole n below 2^53.
constexpr DD reciprocal(double n) {
    return div({1.0, 0.0}, {n, 0.0});
}
DD scale(DD a, int e) {
    return {std::ldexp(a.hi, e), std::ldexp(a.lo, e)};
}

constexpr double NAN_VALUE = std::numeric_limits<double>::quiet_NaN();
constexpr double ROUND_MAGIC = 6755399441055744.0; // 1.5 * 2^52: x + it - it rounds x

// pi/2 in four parts; the first three have 33 significant bits, so that k times each is exact
// for k below 2^20.  Together they hold pi/2 to about 2^-160.
constexpr double PIO2_1 = 0x1.921fb54400000p+0;
constexpr double PIO2_2 = 0x1.0b4611a600000p-34;
constexpr double PIO2_3 = 0x1.3198a2e000000p-69;
constexpr double PIO2_4 = 0x1.b839a252049c1p-104;
constexpr double TWO_OVER_PI = 0x1.45f306dc9c883p-1;
constexpr DD PIO2 = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
constexpr DD PI = {0x1.921fb54442d18p+1, 0x1.1a62633145c07p-53};
// log 2 in three parts, the first two with 42 significant bits (k times them is exact for k
// below 2^11), to about 2^-144.
constexpr double LN2_1 = 0x1.62e42fefa3800p-1;
constexpr double LN2_2 = 0x1.ef35793c76800p-45;
constexpr double LN2_3 = -0x1.9ff0342542fc3p-90;
constexpr double INV_LN2 = 1.4426950408889634;
constexpr DD INV_LN10 = {0x1.bcb7b1526e50ep-2, 0x1.95355baaafad3p-57};

// k times log 2, for |k| below 2^11.
DD ln2_times(double k) {
    return add(two_sum(k * LN2_1, k * LN2_2), k * LN2_3);
}

// ---------------------------------------------------------------------------------------
// Sine and cosine

// x = k pi/2 + r: returns r and k mod 4.  k times each part is exact, the first difference
// too (x and k * PIO2_1 lie within a factor 2 of each other once k > 0), so r carries the
// full precision of the four parts even where it is tiny.
DD reduce(double x, int32_t& quadrant) {
    const double shifted = x * TWO_OVER_PI + ROUND_MAGIC;
    const double k = shifted - ROUND_MAGIC;
    quadrant = int32_t(int64_t(k) & 3);
    const DD r = two_sum(x - k * PIO2_1, -(k * PIO2_2));
    return add(sub(r, {k * PIO2_3, 0.0}), -(k * PIO2_4));
}

// Series coefficients 1 / n!, as double-doubles where they matter (n <= 16) and as doubles
// beyond, where a term is below 2^-52 of the result for |r| <= pi/4.
struct Factorials {
    DD inverse[17];
    constexpr Factorials() : inverse{} {
        double f = 1.0;
        for (int n = 0; n <= 16; ++n) {
            if (n > 0) f *= n;
            inverse[n] = reciprocal(f);
        }
    }
};
constexpr Factorials FACT;
constexpr double INV_FACT[] = {
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    0.0,
    1.0 / 355687428096000.0,                 // 17!
    1.0 / 6402373705728000.0,                // 18!
    1.0 / 121645100408832000.0,              // 19!
    1.0 / 2432902008176640000.0,             // 20!
    1.0 / 51090942171709440000.0,            // 21!
    1.0 / 1124000727777607680000.0,          // 22!
    1.0 / 25852016738884976640000.0,         // 23!
    1.0 / 620448401733239439360000.0,        // 24!
    1.0 / 15511210043330985984000000.0,      // 25!
    1.0 / 403291461126605635584000000.0,     // 26!
    1.0 / 10888869450418352160768000000.0,   // 27!
    1.0 / 304888344611713860501504000000.0,  // 28!
    1.0 / 8841761993739701954543616000000.0, // 29!
};
static_assert(sizeof INV_FACT / sizeof INV_FACT[0] == 30);

// sin r and cos r for |r| <= pi/4 (a little more is fine): the Taylor series to r^29 and
// r^28, alternating signs, in z = r^2.
DD sin_poly(DD r) {
    const DD z = mul(r, r);
    double tail = 0.0;
    for (int n = 29; n >= 17; n -= 2)
        tail = ((n / 2) % 2 ? -INV_FACT[n] : INV_FACT[n]) + z.hi * tail;
    DD p = {tail, 0.0};
    for (int n = 15; n >= 3; n -= 2) {
        const DD c = (n / 2) % 2 ? neg(FACT.inverse[n]) : FACT.inverse[n];
        p = add_dominant(c, mul(z, p));
    }
    return add(r, mul(mul(r, z), p));
}
DD cos_poly(DD r) {
    const DD z = mul(r, r);
    double tail = 0.0;
    for (int n = 28; n >= 18; n -= 2)
        tail = ((n / 2) % 2 ? -INV_FACT[n] : INV_FACT[n]) + z.hi * tail;
    DD p = {tail, 0.0};
    for (int n = 16; n >= 2; n -= 2) {
        const DD c = (n / 2) % 2 ? neg(FACT.inverse[n]) : FACT.inverse[n];
        p = add_dominant(c, mul(z, p));
    }
    return add(mul(z, p), 1.0);
}

// sin x for quadrant offset 0, cos x for 1.
DD sin_quadrant(double x, int32_t offset) {
    if (!std::isfinite(x)) return {NAN_VALUE, NAN_VALUE};
    int32_t q;
    const DD r = reduce(x, q);
    q = (q + offset) & 3;
    const DD v = (q & 1) ? cos_poly(r) : sin_poly(r);
    return (q & 2) ? neg(v) : v;
}

// ---------------------------------------------------------------------------------------
// Arc cosine

// asin s for 0 <= s <= 1/2 (s given as a double-double): one Newton step on sin y = s from
// the double approximation, which is good to a few ulps, so the step leaves an error near
// the square of that, far below the double-double's own.
DD asin_half(DD s) {
    const double y0 = fast::asin_half(s.hi);
    const DD residual = sub(sin_poly({y0, 0.0}), s);
    return add(DD{y0, 0.0}, -(residual.hi / fast::cos_poly(y0)));
}

// acos x for 0 <= x <= 1: pi/2 - asin x below 1/2; above, 2 asin sqrt((1 - x) / 2), where
// 1 - x and the halving are exact and the square root is refined to a double-double.
DD acos_unit(double x) {
    if (x == 1.0) return {0.0, 0.0};
    if (x < 0.5) return sub(PIO2, asin_half({x, 0.0}));
    const double t = (1.0 - x) * 0.5;
    const double root = std::sqrt(t);
    const DD square = two_prod(root, root);
    const DD s = quick_two_sum(root, ((t - square.hi) - square.lo) / (2.0 * root));
    return scale(asin_half(s), 1);
}

// ---------------------------------------------------------------------------------------
// Logarithm and exponential

// 1 / (2n + 1), the coefficients of the series of atanh.
struct OddReciprocals {
    DD value[10];
    constexpr OddReciprocals() : value{} {
        for (int n = 0; n < 10; ++n)
            value[n] = reciprocal(2.0 * n + 1.0);
    }
};
constexpr OddReciprocals ODD;

// The natural logarithm of a positive normal x: x = m 2^e with sqrt(1/2) <= m < sqrt(2), and
// log m = 2 atanh u, u = (m - 1) / (m + 1), |u| <= 0.172: the series in w = u^2 to w^21.
DD log_dd(double x) {
    int e;
    double m = std::frexp(x, &e); // exact
    if (m < fast::SQRT_HALF) {
        m *= 2.0;
        --e;
    }
    const DD u = div({m - 1.0, 0.0}, two_sum(m, 1.0)); // m - 1 is exact
    const DD w = mul(u, u);
    double tail = 0.0;
    for (int n = 21; n >= 10; --n)
        tail = 1.0 / (2.0 * n + 1.0) + w.hi * tail;
    DD p = {tail, 0.0};
    for (int n = 9; n >= 0; --n)
        p = add_dominant(ODD.value[n], mul(w, p));
    return add(ln2_times(double(e)), scale(mul(u, p), 1));
}

// e^w for |w| below about 700: w = k log 2 + r, |r| <= 0.35, and the Taylor series of e^r to
// r^23 (terms from r^14 on in double).
DD exp_dd(DD w) {
    const double shifted = w.hi * INV_LN2 + ROUND_MAGIC;
    const double k = shifted - ROUND_MAGIC;
    const DD r = sub(w, ln2_times(k));
    double tail = 0.0;
    for (int n = 23; n >= 14; --n)
        tail = (n <= 16 ? FACT.inverse[n].hi : INV_FACT[n]) + r.hi * tail;
    DD p = {tail, 0.0};
    for (int n = 13; n >= 0; --n)
        p = add_dominant(FACT.inverse[n], mul(r, p));
    return scale(p, int(k));
}

} // namespace

DD sin_dd(double x) {
    if (x == 0.0) return {x, 0.0}; // keeps the sign of a zero
    return sin_quadrant(x, 0);
}
DD cos_dd(double x) {
    return sin_quadrant(x, 1);
}

DD acos_dd(double x) {
    if (!(x >= -1.0 && x <= 1.0)) return {NAN_VALUE, NAN_VALUE};
    if (x < 0.0) return sub(PI, acos_unit(-x));
    return acos_unit(x);
}

DD log10_dd(double x) {
    if (x != x || x < 0.0) return {NAN_VALUE, NAN_VALUE};
    if (x == 0.0) return {-HUGE_VAL, 0.0};
    if (std::isinf(x)) return {x, 0.0};
    if (x == 1.0) return {0.0, 0.0};
    return mul(log_dd(x), INV_LN10);
}

DD pow_dd(double x, double y) {
    if (y == 0.0 || x == 1.0) return {1.0, 0.0};
    if (x != x || y != y) return {NAN_VALUE, NAN_VALUE};
    if (x < 0.0) {
        // Defined for whole exponents only; odd ones keep the sign.
        if (std::nearbyint(y) != y) return {NAN_VALUE, NAN_VALUE};
        const DD v = pow_dd(-x, y);
        const bool odd = std::fabs(y) < 9007199254740992.0 && std::fmod(y, 2.0) != 0.0;
        return odd ? neg(v) : v;
    }
    if (x == 0.0) return {y > 0.0 ? 0.0 : HUGE_VAL, 0.0};
    if (std::isinf(x)) return {y > 0.0 ? HUGE_VAL : 0.0, 0.0};
    const DD l = log_dd(x);
    const DD w = add(two_prod(y, l.hi), y * l.lo);
    if (w.hi > 709.8) return {HUGE_VAL, 0.0};
    if (w.hi < -745.2) return {0.0, 0.0};
    return exp_dd(w);
}

double sin(double x) {
    return rounded(sin_dd(x));
}
double cos(double x) {
    return rounded(cos_dd(x));
}
double acos(double x) {
    return rounded(acos_dd(x));
}
double pow(double x, double y) {
    return rounded(pow_dd(x, y));
}
double log10(double x) {
    return rounded(log10_dd(x));
}

} // namespace exact
