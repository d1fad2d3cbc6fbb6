// The waveform's math functions give the correctly rounded double on every platform (this
// program also runs under Wine): arguments where the C library's answer is off by one ulp,
// with the correctly rounded value (MPFR at 53 bits), and the special values the renderer
// relies on.  tools/math_proof.cpp checks every argument the renderer can pass.
#include "synth/exact_math.h"
#include "synth/tone.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {
constexpr double PI32 = double(PI_F);

struct Value {
    const char* function;
    double x, expected;
};

double evaluate(const char* function, double x) {
    switch (function[0]) {
    case 's':
        return exact::sin(x);
    case 'c':
        return exact::cos(x);
    case 'a':
        return exact::acos(x);
    case 'p':
        return exact::pow(x, PI32);
    default:
        return exact::log10(x);
    }
}

TEST(ExactMath, CorrectlyRoundedWhereTheCLibraryIsNot) {
    const Value values[] = {
        {"sin", 0x1.d6p-1, 0x1.96b79643389cfp-1},              // a phase
        {"sin", 0x1.a2p+1, -0x1.fabc216c36a15p-4},             // a phase past pi
        {"sin", 0x1.d09376p+1, -0x1.e0077da4ad5dbp-2},         // twice a phase
        {"sin", 0x1.47ddc9f6a8886p+12, -0x1.2038149257dfdp-1}, // a peak plus pi
        {"cos", 0x1.b35972p+0, -0x1.090f05e009991p-3},         // a phase
        {"cos", -0x1.d4de195371eb9p-2, 0x1.cb4293d391bc7p-1},  // (phase - pi) / pi
        {"acos", 0x1.ap-1, 0x1.3ea71520cf3d3p-1},              // a root
        {"acos", 0x1.37b8b2p-4, 0x1.7e9f56699cb41p+0},
        {"pow", 0x1.019fb2p-1, 0x1.d972f294a3b2fp-4}, // c to the power pi
        {"pow", 0x1.a4412ep-1, 0x1.1354b360a059dp-1},
        {"log10", 0x1.8bf262p+4, 0x1.64bd856a8eefbp+0}, // a Pink Synth peak
        {"log10", 0x1.a657ep+5, 0x1.b8fab6a04307bp+0},
    };
    for (const Value& v : values)
        EXPECT_EQ(std::bit_cast<uint64_t>(evaluate(v.function, v.x)),
                  std::bit_cast<uint64_t>(v.expected))
            << v.function << "(" << std::hexfloat << v.x << ")";
}

TEST(ExactMath, SpecialValuesAreTheCLibrarys) {
    EXPECT_EQ(exact::sin(0.0), 0.0);
    EXPECT_TRUE(std::signbit(exact::sin(-0.0)));
    EXPECT_EQ(exact::cos(0.0), 1.0);
    EXPECT_EQ(exact::acos(1.0), 0.0);
    EXPECT_EQ(exact::acos(0.0), 0x1.921fb54442d18p+0);
    EXPECT_EQ(exact::acos(-1.0), 0x1.921fb54442d18p+1);
    EXPECT_TRUE(std::isnan(exact::acos(std::nextafter(1.0, 2.0)))); // a root above 1
    EXPECT_TRUE(std::isnan(exact::sin(INFINITY)));
    EXPECT_EQ(exact::log10(0.0), -INFINITY); // Pink Synth at amplitude 0
    EXPECT_TRUE(std::isnan(exact::log10(-1.0)));
    EXPECT_EQ(exact::log10(1000.0), 3.0);
    EXPECT_EQ(exact::pow(1.0, PI32), 1.0);
    EXPECT_EQ(exact::pow(0.0, PI32), 0.0);
    EXPECT_TRUE(std::isnan(exact::pow(-0.5, PI32))); // a negative base, exponent not whole
    EXPECT_EQ(exact::pow(-2.0, 3.0), -8.0);
}
} // namespace
