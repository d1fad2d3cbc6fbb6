// Tones whose samples are known: the defaults, the 1000 Hz sine at two rates, the styles that
// rest on the integer conversion rules, clamping, sweeps, fades and the data size.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
struct Tone {
    int32_t rate = 44100, bytes = 2, channels = 1;
    float frequency = 315, duration = 1;
    int32_t amplitude = 25;
    float sweep = 0;
    int32_t style = STYLE_SINE, fade_in = 0, fade_out = 0;
};

// Renders and returns the whole image.
std::vector<uint8_t> render(const Tone& t) {
    set_sound_format(t.rate, t.bytes, t.channels);
    EXPECT_EQ(
        fill_tone(t.frequency, t.duration, t.amplitude, t.sweep, t.style, t.fade_in, t.fade_out),
        FillResult::filled);
    const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
    return {image, image + wav_image_size()};
}

ToneSetup setup_of(const Tone& t) {
    set_sound_format(t.rate, t.bytes, t.channels);
    ToneSetup s;
    tone_setup(&s, t.frequency, t.duration, t.amplitude, t.sweep, t.style, t.fade_in, t.fade_out);
    return s;
}

uint32_t data_size(const std::vector<uint8_t>& image) {
    return le_u32(&image[40]);
}

// The first channel's samples of a 16-bit image.
std::vector<int16_t> samples16(const std::vector<uint8_t>& image, int channels = 1) {
    std::vector<int16_t> out;
    for (size_t at = 44; at + 2 * channels <= 44 + data_size(image); at += 2 * channels)
        out.push_back(le_i16(&image[at]));
    return out;
}

std::vector<int16_t> head(const std::vector<int16_t>& v, size_t n) {
    return {v.begin(), v.begin() + n};
}

TEST(Tone, DefaultsOfTheProgram) {
    const Tone t;
    EXPECT_EQ(setup_of(t).peak, 8191.75f);
    const auto s = samples16(render(t));
    ASSERT_EQ(s.size(), 44100u);
    EXPECT_EQ(head(s, 5), (std::vector<int16_t>{0, 368, 734, 1100, 1463}));
    EXPECT_EQ(*std::max_element(s.begin(), s.end()), 8192);
    EXPECT_EQ(*std::min_element(s.begin(), s.end()), -8192);
}

TEST(Tone, FullScaleSineAtTwoRates) {
    Tone t;
    t.frequency = 1000;
    t.amplitude = 100;
    auto image = render(t);
    EXPECT_EQ(data_size(image), 88200u);
    EXPECT_EQ(head(samples16(image), 5), (std::vector<int16_t>{0, 4653, 9211, 13583, 17679}));
    t.rate = 5512;
    EXPECT_EQ(head(samples16(render(t)), 5),
              (std::vector<int16_t>{0, 29772, 24870, -8997, -32385}));
    t.style = STYLE_INVERSE_SINE;
    EXPECT_EQ(head(samples16(render(t)), 5),
              (std::vector<int16_t>{0, -29772, -24870, 8997, 32385}));
}

TEST(Tone, SquareWavesAtTheLowestRate) {
    Tone t;
    t.rate = 5512;
    t.frequency = 1000;
    t.amplitude = 100;
    t.style = STYLE_SQUARE_WAVE;
    EXPECT_EQ(head(samples16(render(t)), 7),
              (std::vector<int16_t>{32767, 32767, 32767, -32767, -32767, -32767, 32767}));
    // 5000 Hz is above what 5512 Hz can carry: played at 2755 Hz, at 8 bits the bytes 255 and 1.
    t.frequency = 5000;
    t.bytes = 1;
    EXPECT_EQ(setup_of(t).frequency, 2755.0f);
    const auto image = render(t);
    for (size_t i = 44; i < 44 + data_size(image); ++i)
        ASSERT_TRUE(image[i] == 255 || image[i] == 1) << "byte " << i << " is " << int(image[i]);
}

TEST(Tone, AbsoluteSquareIsAPulseOfNotANumber) {
    Tone t;
    t.rate = 5512;
    t.frequency = 1000;
    t.amplitude = 100;
    t.style = STYLE_ABSOLUTE_SQUARE;
    EXPECT_EQ(head(samples16(render(t)), 8),
              (std::vector<int16_t>{-121, -32768, -32768, -32768, -32768, -32768, -91, -32768}));
    // At 16 bits most of every cycle sits at -32768 whatever the amplitude; at 8 bits that
    // is the silence byte, with short dips below it.
    t.rate = 44100;
    t.amplitude = 0;
    const auto s = samples16(render(t));
    const auto pinned = std::count(s.begin(), s.end(), int16_t(-32768));
    EXPECT_NEAR(double(pinned) / s.size(), 0.84, 0.01);
    t.amplitude = 100;
    t.bytes = 1;
    const auto image = render(t);
    const auto [lo, hi] = std::minmax_element(image.begin() + 44, image.end());
    EXPECT_EQ(*hi, 128);
    EXPECT_GE(*lo, 119);
    EXPECT_LE(*lo, 121);
}

TEST(Tone, AbsoluteSineLevelFollowsTheSineOfThePeak) {
    Tone t;
    t.amplitude = 100;
    t.style = STYLE_ABSOLUTE_SINE;
    auto s = samples16(render(t));
    auto [lo, hi] = std::minmax_element(s.begin(), s.end());
    EXPECT_NEAR(*lo, -6144, 2);
    EXPECT_NEAR(*hi, -894, 6);
    EXPECT_NEAR(setup_of(t).abs_sine_level, -0.1875, 0.0005);
    t.bytes = 1;
    EXPECT_NEAR(setup_of(t).abs_sine_level, -0.9726, 0.0005);
}

TEST(Tone, PinkSynthWrapsAndSilencesItsNegativeHalf) {
    Tone t;
    t.amplitude = 100;
    t.style = STYLE_PINK_SYNTH;
    const auto s = samples16(render(t));
    // The unwrapped value reaches about 1.66e7; its low 16 bits span the whole range.
    const auto [lo, hi] = std::minmax_element(s.begin(), s.end());
    EXPECT_LT(*lo, -30000);
    EXPECT_GT(*hi, 30000);
    // sin(phi) sin(2 phi) < 0 for phi in (pi/2, pi) and (3pi/2, 2pi): a quarter cycle from the
    // start the samples fall silent.
    const size_t quarter = 44100 / 315 / 4;
    for (size_t i = quarter + 3; i < 2 * quarter - 3; ++i)
        ASSERT_EQ(s[i], 0) << i;
    t.amplitude = 0;
    const auto quiet = samples16(render(t));
    EXPECT_TRUE(std::all_of(quiet.begin(), quiet.end(), [](int16_t v) { return v == 0; }));
}

TEST(Tone, FrequenciesAreClampedThenFittedToWholeCycles) {
    Tone t;
    for (float f : {8.0f, 10.0f, 12.0f, 16.0f, -3.0f}) {
        t.frequency = f;
        EXPECT_EQ(setup_of(t).frequency, 20.0f) << f;
    }
    t.frequency = 20;
    const auto at20 = render(t);
    t.frequency = 12;
    EXPECT_EQ(render(t), at20);
    // Half the rate and above drop one hertz below it, then snap to a whole cycle count.
    t.rate = 11025;
    for (float f : {5512.5f, 6000.0f, 1e9f}) {
        t.frequency = f;
        EXPECT_EQ(setup_of(t).frequency, 5512.0f) << f;
    }
    t.rate = 44100;
    t.frequency = 22050;
    EXPECT_EQ(setup_of(t).frequency, 22049.0f);
    t.frequency = 440.3f;
    t.duration = 2;
    EXPECT_EQ(setup_of(t).frequency, 440.5f); // 880.6 cycles rounds to 881
}

TEST(Tone, SweepRunsToAWholeCycleEndAndASweepToTheStartIsSteady) {
    Tone t;
    t.frequency = 315;
    t.sweep = 315;
    const ToneSetup same = setup_of(t);
    EXPECT_TRUE(same.sweep);
    EXPECT_EQ(same.span, 0.0f);
    const auto steady = render(t);
    t.sweep = 0;
    EXPECT_EQ(render(t), steady);

    // Sweep ends below the floor sweep to it; the mean is fitted to whole cycles, so the end
    // lands a hertz beside the target.
    t.sweep = 20;
    const auto to_floor = render(t);
    for (float low : {8.0f, 16.0f}) {
        t.sweep = low;
        EXPECT_EQ(render(t), to_floor) << low;
    }
    EXPECT_EQ(setup_of(t).span, 21.0f - 315.0f);
    t.sweep = 1000;
    const ToneSetup up = setup_of(t);
    EXPECT_EQ(up.span, 686.0f);
    EXPECT_EQ(up.df, float(686.0 / 44100));
    // The zero-crossing rate at the end is near 1000 Hz.
    const auto s = samples16(render(t));
    int crossings = 0;
    for (size_t i = s.size() - 4410; i < s.size(); ++i)
        crossings += (s[i - 1] < 0) != (s[i] < 0);
    EXPECT_NEAR(crossings / 2.0 / 0.1, 1000, 40);
}

TEST(Tone, FadesShapeTheLevel) {
    Tone plain;
    plain.frequency = 1000;
    plain.amplitude = 100;
    plain.style = STYLE_SQUARE_WAVE;
    const auto base = samples16(render(plain));

    Tone in = plain;
    in.fade_in = 1;
    const auto faded_in = samples16(render(in));
    EXPECT_EQ(faded_in[0], 0);
    EXPECT_EQ(faded_in[22050], int16_t(std::nearbyint(base[22050] * 0.5)));

    Tone out = plain;
    out.fade_out = 1;
    const auto faded_out = samples16(render(out));
    EXPECT_EQ(faded_out[0], base[0]);
    EXPECT_LE(std::abs(faded_out.back()), 1);

    Tone both = plain;
    both.fade_in = both.fade_out = 1;
    const auto faded = samples16(render(both));
    EXPECT_EQ(faded[0], 0);
    EXPECT_EQ(faded[22050], base[22050]);
    EXPECT_EQ(faded[11025], int16_t(std::nearbyint(base[11025] * 0.75)));
}

TEST(Tone, StereoChannelsAreEqual) {
    for (int32_t bytes : {1, 2}) {
        Tone t;
        t.channels = 2;
        t.bytes = bytes;
        t.style = STYLE_TRIANGLE;
        t.sweep = 4000;
        const auto image = render(t);
        const size_t frame = 2 * bytes;
        ASSERT_EQ(data_size(image), 44100 * frame);
        for (size_t at = 44; at < image.size(); at += frame)
            ASSERT_TRUE(std::equal(&image[at], &image[at] + bytes, &image[at] + bytes)) << at;
    }
}

TEST(Tone, OddFrameCountLandsInThePadByte) {
    Tone t;
    t.rate = 11025;
    t.bytes = 1;
    t.amplitude = 100;
    t.style = STYLE_SQUARE_WAVE;
    const auto image = render(t);
    EXPECT_EQ(image.size(), 11070u);
    EXPECT_EQ(data_size(image), 11026u);
    EXPECT_EQ(le_u32(&image[4]), 11026u + 36);
    EXPECT_NE(image.back(), 128) << "the last frame is written into the pad byte";
}

TEST(Tone, DataSizeNeverExceedsTheBlock) {
    // Fractional durations make the renderer's byte count and the prepared frame count differ.
    for (int32_t rate : {5512, 11025, 22050, 44100})
        for (int32_t bytes : {1, 2})
            for (int32_t channels : {1, 2})
                for (float d : {0.1f, 0.13f, 0.3f, 0.77f, 1.1f, 1.7f, 2.3333f, 3.0001f, 9.99f}) {
                    Tone t{rate, bytes, channels, 440, d, 50};
                    const auto image = render(t);
                    const uint32_t size = data_size(image);
                    ASSERT_LE(44 + size, image.size())
                        << rate << " " << bytes << " " << channels << " " << d;
                    ASSERT_EQ(size % (bytes * channels), 0u);
                    ASSERT_EQ(le_u32(&image[4]) + 8, image.size());
                }
}

TEST(Tone, UnknownStyleRendersNothing) {
    set_sound_format(44100, 2, 1);
    EXPECT_EQ(render_tone(AUTO_NUMBER, 315, 1, 25, 0, 9, 0, 0), 0);
    const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(le_u32(image + 40), 88200u);
    EXPECT_TRUE(
        std::all_of(image + 44, image + wav_image_size(), [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(fill_tone(315, 1, 25, 0, -1, 0, 0), FillResult::no_style);
}

TEST(Tone, EachRenderTakesTheFormatSetJustBefore) {
    Tone t;
    t.rate = 22050;
    t.bytes = 1;
    t.channels = 2;
    auto image = render(t);
    EXPECT_EQ(le_u32(&image[24]), 22050u);
    EXPECT_EQ(data_size(image), 44100u);
    t = Tone{};
    image = render(t);
    EXPECT_EQ(le_u32(&image[24]), 44100u);
    EXPECT_EQ(data_size(image), 88200u);
}

TEST(Tone, WhiteNoiseStaysWithinThePeakAndFollowsTheSeed) {
    Tone t;
    t.style = STYLE_WHITE_NOISE;
    t.channels = 2;
    random_seed(7);
    const auto first = render(t);
    random_seed(7);
    EXPECT_EQ(render(t), first);
    const auto other = render(t);
    EXPECT_NE(other, first);
    const auto s = samples16(first, 2);
    double sum = 0;
    for (int16_t v : s) {
        ASSERT_LE(std::abs(v), 8192);
        sum += v;
    }
    EXPECT_NEAR(sum / s.size(), 0, 60);
}
} // namespace
