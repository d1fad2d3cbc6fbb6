// What neither the byte-for-byte comparison with the independent model (tone_model_test.sh)
// nor the fast renderer's with the reference can show: an unknown style, and White Noise,
// which the model leaves out.
#include "synth/sound_format.h"
#include "synth/tone.h"
#include "synth/wav_image.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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
    ASSERT_NE(tone_setup(&setup, 440, 1, 100, 0, STYLE_WHITE_NOISE, 0, 0), nullptr);
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

} // namespace
