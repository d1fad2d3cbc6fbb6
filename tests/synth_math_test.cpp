// The waveform's math functions give the correctly rounded double on every platform (this
// program also runs under Wine): arguments where the C library's answer is off by one ulp,
// with the correctly rounded value (MPFR at 53 bits), and the special values the renderer
// relies on, which are the C library's.  tools/math_proof.cpp checks every argument the
// renderer can pass.
#include "synth/exact_math.h"
#include "synth/tone.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {
struct Value {
    double (*f)(double);
    double x, expected;
};

TEST(ExactMath, CorrectlyRoundedWithTheCLibrarysSpecialValues) {
    const auto pow_pi = [](double c) { return exact::pow(c, double(PI_F)); };
    const Value values[] = {
        {exact::sin, 0x1.d6p-1, 0x1.96b79643389cfp-1},              // a phase
        {exact::sin, 0x1.a2p+1, -0x1.fabc216c36a15p-4},             // a phase past pi
        {exact::sin, 0x1.d09376p+1, -0x1.e0077da4ad5dbp-2},         // twice a phase
        {exact::sin, 0x1.47ddc9f6a8886p+12, -0x1.2038149257dfdp-1}, // a peak plus pi
        {exact::cos, 0x1.b35972p+0, -0x1.090f05e009991p-3},         // a phase
        {exact::cos, -0x1.d4de195371eb9p-2, 0x1.cb4293d391bc7p-1},  // (phase - pi) / pi
        {exact::acos, 0x1.ap-1, 0x1.3ea71520cf3d3p-1},              // a root
        {exact::acos, 0x1.37b8b2p-4, 0x1.7e9f56699cb41p+0},
        {pow_pi, 0x1.019fb2p-1, 0x1.d972f294a3b2fp-4}, // c to the power pi
        {pow_pi, 0x1.a4412ep-1, 0x1.1354b360a059dp-1},
        {exact::log10, 0x1.8bf262p+4, 0x1.64bd856a8eefbp+0}, // a Pink Synth peak
        {exact::log10, 0x1.a657ep+5, 0x1.b8fab6a04307bp+0},
        // The C library's special values.
        {exact::sin, 0.0, 0.0},
        {exact::sin, -0.0, -0.0},
        {exact::sin, INFINITY, NAN},
        {exact::cos, 0.0, 1.0},
        {exact::acos, 1.0, 0.0},
        {exact::acos, 0.0, 0x1.921fb54442d18p+0},
        {exact::acos, -1.0, 0x1.921fb54442d18p+1},
        {exact::acos, 0x1.0000000000001p0, NAN}, // a root above 1
        {exact::log10, 0.0, -INFINITY},          // Pink Synth at amplitude 0
        {exact::log10, -1.0, NAN},
        {exact::log10, 1000.0, 3.0},
        {pow_pi, 1.0, 1.0},
        {pow_pi, 0.0, 0.0},
        {pow_pi, -0.5, NAN}, // a negative base, exponent not whole
    };
    for (const Value& v : values) {
        const double y = v.f(v.x);
        EXPECT_TRUE(std::isnan(v.expected)
                        ? std::isnan(y)
                        : std::bit_cast<uint64_t>(y) == std::bit_cast<uint64_t>(v.expected))
            << "row " << &v - values << ": " << std::hexfloat << v.x << " gives " << y;
    }
    EXPECT_EQ(exact::pow(-2.0, 3.0), -8.0);
}
} // namespace
