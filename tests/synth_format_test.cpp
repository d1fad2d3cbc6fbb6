// The sound format's snapping and queries, and the WAV image's lifetime (its bytes, header
// included, are compared with the independent model and with the streamed tone elsewhere).
#include "synth/sound_format.h"
#include "synth/wav_image.h"
#include "toolkit/memory_heap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <tuple>

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
} // namespace
