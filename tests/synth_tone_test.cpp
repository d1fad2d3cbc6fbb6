// What the byte-for-byte comparison with the independent model (tone_model_test.sh) cannot
// show: the image's block against its data size for any duration, a format set just before
// each render, an unknown style, and the noise generator's seed.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

std::vector<uint8_t> render(int32_t rate, int32_t bytes, int32_t channels, float duration,
                            int32_t style = STYLE_SINE) {
    set_sound_format(rate, bytes, channels);
    EXPECT_EQ(fill_tone(440, duration, 50, 0, style, 0, 0), FillResult::filled);
    const uint8_t* image = prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
    return {image, image + wav_image_size()};
}

// Fractional durations make the renderer's byte count and the prepared frame count differ;
// every render takes the format set just before it.
TEST(Tone, TheHeaderDescribesTheBlockForAnyFormatAndDuration) {
    for (int32_t rate : {5512, 11025, 22050, 44100})
        for (int32_t bytes : {1, 2})
            for (int32_t channels : {1, 2})
                for (float d : {0.13f, 0.77f, 1.0f, 2.3333f, 9.99f}) {
                    const auto image = render(rate, bytes, channels, d);
                    const uint32_t size = le_u32(&image[40]);
                    SCOPED_TRACE(testing::Message()
                                 << rate << " " << bytes << " " << channels << " " << d);
                    ASSERT_EQ(le_u32(&image[24]), uint32_t(rate));
                    ASSERT_LE(44 + size, image.size());
                    ASSERT_EQ(size % (bytes * channels), 0u);
                    ASSERT_EQ(le_u32(&image[4]) + 8, image.size());
                    // Past the data (a pad byte, frames the header does not count): silence.
                    ASSERT_TRUE(std::all_of(image.begin() + 44 + size, image.end(), [&](uint8_t b) {
                        return b == (bytes == 1 ? 128 : 0);
                    }));
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

TEST(Tone, WhiteNoiseStaysWithinThePeakAndFollowsTheSeed) {
    random_seed(7);
    const auto first = render(44100, 2, 2, 1, STYLE_WHITE_NOISE);
    random_seed(7);
    EXPECT_EQ(render(44100, 2, 2, 1, STYLE_WHITE_NOISE), first);
    EXPECT_NE(render(44100, 2, 2, 1, STYLE_WHITE_NOISE), first);
    double sum = 0;
    for (size_t at = 44; at < first.size(); at += 4) {
        const int16_t v = le_i16(&first[at]);
        ASSERT_LE(std::abs(v), 16384); // half of full scale
        ASSERT_EQ(v, le_i16(&first[at + 2])) << "both channels carry the same noise";
        sum += v;
    }
    EXPECT_NEAR(sum / 44100, 0, 100);
    // A range of one number takes no draw.
    random_seed(3);
    const int32_t first_draw = random_below(1000);
    random_seed(3);
    EXPECT_EQ(random_below(0), 0);
    EXPECT_EQ(random_below(1000), first_draw);
}

} // namespace
