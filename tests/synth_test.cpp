// What the byte-for-byte comparisons (the fast renderer against the reference, the reference
// against the independent model in tone_model.py) cannot show: the sound format's snapping and
// queries, the WAV image's lifetime, an unknown style, White Noise (which the model leaves out),
// and the waveform's math functions, which give the correctly rounded double on every platform
// (this program also runs under Wine): arguments where the C library's answer is off by one ulp,
// with the correctly rounded value (MPFR at 53 bits), and the special values the renderer relies
// on, which are the C library's.  tools/math_proof.cpp checks every argument the renderer can
// pass.
#include "synth/exact_math.h"
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/memory_heap.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

namespace {
// Every value snaps to an allowed one, which the queries answer; other negative codes answer
// 0 and change nothing.
TEST(SoundFormat, SnapsEveryValueToAnAllowedOne) {
    using Format = std::tuple<int32_t, int32_t, int32_t>;
    const Format cases[][2] = {
        {{0, 0, 0}, {5512, 1, 1}},        {{5512, 1, 1}, {5512, 1, 1}},
        {{5513, 2, 2}, {11025, 2, 2}},    {{11025, 3, 7}, {11025, 2, 2}},
        {{11026, -4, -9}, {22050, 1, 1}}, {{22051, 16, 1}, {44100, 2, 1}},
        {{100000, 8, 2}, {44100, 2, 2}},  {{44100, 16, 1}, {44100, 2, 1}},
    };
    const auto query = [](int32_t code) { return set_sound_format(code, 0, 0); };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(std::apply(set_sound_format, in), 1);
        for (int32_t code : {-4, -5, -100, INT32_MIN})
            EXPECT_EQ(set_sound_format(code, 2, 1), 0);
        EXPECT_EQ(Format(query(FORMAT_QUERY_RATE), query(FORMAT_QUERY_BYTES),
                         query(FORMAT_QUERY_CHANNELS)),
                  out)
            << testing::PrintToString(in);
    }
}

// Preparing again frees the old block.  A failed allocation, or a duration the header cannot
// describe, leaves no image; the next one is made again.
TEST(WavImage, EachImageReplacesTheLastOrLeavesNone) {
    set_sound_format(44100, 2, 2);
    prepare_wav_image(1);
    const size_t after_first = memory_heap_in_use();
    prepare_wav_image(2);
    EXPECT_EQ(memory_heap_in_use(), after_first + 176400);
    prepare_wav_image(1);
    EXPECT_EQ(memory_heap_in_use(), after_first);
    memory_heap_set_limit(memory_heap_in_use() - wav_image_size() + 1000);
    EXPECT_EQ(prepare_wav_image(1), nullptr);
    memory_heap_set_limit(SIZE_MAX);
    EXPECT_EQ(prepare_wav_image(float(IMAGE_QUERY_ADDRESS)), nullptr);
    EXPECT_EQ(wav_image_size(), 0u);
    for (float d : {1e6f, 3e38f, INFINITY}) {
        ASSERT_NE(prepare_wav_image(1), nullptr);
        EXPECT_EQ(prepare_wav_image(d), nullptr) << d;
        EXPECT_EQ(wav_image_size(), 0u);
    }
}

// A negative argument is a query, rounded to the nearest code (ties to even): -1 answers the
// image, anything else (NaN too) nothing, and no query changes the image.
TEST(WavImage, QueriesRoundToTheNearestCode) {
    set_sound_format(44100, 2, 1);
    const uint8_t* image = prepare_wav_image(1);
    for (float query : {-0.6f, -1.4f, -1.0f})
        EXPECT_EQ(prepare_wav_image(query), image) << query;
    for (float query : {-0.4f, -1.5f, -2.0f, NAN})
        EXPECT_EQ(prepare_wav_image(query), nullptr) << query;
    EXPECT_EQ(prepare_wav_image(-1.0f), image);
}

// An unknown style is refused, and makes a silent image but no sound.
TEST(Tone, UnknownStyleRendersNothing) {
    EXPECT_EQ(fill_tone(315, 1, 25, 0, -1, 0, 0), FillResult::no_style);
    for (int32_t bytes : {1, 2}) {
        set_sound_format(44100, bytes, 1);
        EXPECT_EQ(render_tone(AUTO_NUMBER, 315, 1, 25, 0, 9, 0, 0), 0);
        const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(le_u32(image + 40), 44100u * bytes);
        EXPECT_TRUE(std::all_of(image + 44, image + wav_image_size(),
                                [&](uint8_t b) { return b == (bytes == 1 ? 128 : 0); }));
    }
}

// White Noise's samples are a fixed function of the generator's draws from its seed, and the
// render leaves the generator where the draws end.  A range of one number takes no draw.
TEST(Tone, WhiteNoiseIsTheGeneratorsDrawsFromItsSeed) {
    set_sound_format(44100, 2, 1);
    ToneSetup setup;
    ASSERT_NE(prepare_tone(&setup, 440, 1, 100, 0, STYLE_WHITE_NOISE, 0, 0), nullptr);
    std::vector<int16_t> samples(size_t(setup.frames));
    random_seed(99);
    write_frames(setup, reinterpret_cast<uint8_t*>(samples.data()));
    const int32_t next_after = random_below(NOISE_RANGE_MAX);
    random_seed(99);
    for (size_t i = 0; i < samples.size(); ++i) {
        const double r = random_below(NOISE_RANGE_MAX);
        ASSERT_EQ(samples[i], std::nearbyint(setup.peak * ((r + 1.0) / 1073741824.0 - 1.0))) << i;
    }
    EXPECT_EQ(random_below(NOISE_RANGE_MAX), next_after);
    random_seed(3);
    const int32_t first_draw = random_below(1000);
    random_seed(3);
    EXPECT_EQ(random_below(0), 0);
    EXPECT_EQ(random_below(1000), first_draw);
}

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
