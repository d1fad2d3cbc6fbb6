// The sound format's snapping and queries, and the WAV image's lifetime (its bytes, header
// included, are compared with the independent model and with the streamed tone elsewhere).
#include "synth/sound_format.h"
#include "synth/wav_image.h"
#include "toolkit/memory_heap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

namespace {
struct Format {
    int32_t rate, bytes, channels;
};

Format current_format() {
    return {set_sound_format(FORMAT_QUERY_RATE, 0, 0), set_sound_format(FORMAT_QUERY_BYTES, 0, 0),
            set_sound_format(FORMAT_QUERY_CHANNELS, 0, 0)};
}

TEST(SoundFormat, SnapsEveryValueToAnAllowedOne) {
    const struct {
        Format in, out;
    } cases[] = {
        {{0, 0, 0}, {5512, 1, 1}},        {{5512, 1, 1}, {5512, 1, 1}},
        {{5513, 2, 2}, {11025, 2, 2}},    {{11025, 3, 7}, {11025, 2, 2}},
        {{11026, -4, -9}, {22050, 1, 1}}, {{22051, 16, 1}, {44100, 2, 1}},
        {{100000, 8, 2}, {44100, 2, 2}},  {{44100, 16, 1}, {44100, 2, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(set_sound_format(c.in.rate, c.in.bytes, c.in.channels), 1);
        const Format f = current_format();
        EXPECT_EQ(std::tie(f.rate, f.bytes, f.channels),
                  std::tie(c.out.rate, c.out.bytes, c.out.channels))
            << "set_sound_format(" << c.in.rate << ", " << c.in.bytes << ", " << c.in.channels
            << ")";
    }
}

TEST(SoundFormat, OtherNegativeCodesAnswerZeroAndChangeNothing) {
    set_sound_format(22050, 1, 2);
    for (int32_t code : {-4, -5, -100, INT32_MIN})
        EXPECT_EQ(set_sound_format(code, 2, 1), 0);
    const Format f = current_format();
    EXPECT_EQ(f.rate, 22050);
    EXPECT_EQ(f.bytes, 1);
    EXPECT_EQ(f.channels, 2);
}

TEST(WavImage, PreparingAgainFreesTheOldBlock) {
    set_sound_format(44100, 2, 2);
    prepare_wav_image(1);
    const size_t after_first = memory_heap_in_use();
    prepare_wav_image(2);
    EXPECT_EQ(memory_heap_in_use(), after_first + 176400);
    prepare_wav_image(1);
    EXPECT_EQ(memory_heap_in_use(), after_first);
}

TEST(WavImage, QueriesRoundToTheNearestCode) {
    set_sound_format(44100, 2, 1);
    const uint8_t* image = prepare_wav_image(1);
    EXPECT_EQ(prepare_wav_image(-0.6f), image);
    EXPECT_EQ(prepare_wav_image(-1.4f), image);
    EXPECT_EQ(prepare_wav_image(-0.4f), nullptr);
    EXPECT_EQ(prepare_wav_image(-1.5f), nullptr); // ties to even: -2
    EXPECT_EQ(prepare_wav_image(-2.0f), nullptr);
    EXPECT_EQ(prepare_wav_image(-1.0f), image); // nothing changed
}

TEST(WavImage, FailedAllocationLeavesNoImage) {
    set_sound_format(44100, 2, 2);
    ASSERT_NE(prepare_wav_image(1), nullptr);
    memory_heap_set_limit(memory_heap_in_use() - wav_image_size() + 1000);
    EXPECT_EQ(prepare_wav_image(1), nullptr);
    memory_heap_set_limit(SIZE_MAX);
    EXPECT_EQ(prepare_wav_image(float(IMAGE_QUERY_ADDRESS)), nullptr);
    EXPECT_EQ(wav_image_size(), 0u);
    EXPECT_NE(prepare_wav_image(1), nullptr);
}

TEST(WavImage, ImagesTheHeaderCannotDescribeAreRefused) {
    set_sound_format(44100, 2, 2);
    for (float d : {1e6f, 3e38f, std::numeric_limits<float>::infinity()}) {
        EXPECT_EQ(prepare_wav_image(d), nullptr) << d;
        EXPECT_EQ(wav_image_size(), 0u);
    }
    EXPECT_EQ(prepare_wav_image(std::numeric_limits<float>::quiet_NaN()), nullptr);
}
} // namespace
