// The sound format's snapping and queries, and the WAV image's layout and lifetime.
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

struct HeaderRow {
    int32_t rate, bytes, channels;
    float duration;
    uint32_t data, riff, block, byte_rate;
    uint16_t align, bits;
};

class WavHeader : public testing::TestWithParam<HeaderRow> {};

TEST_P(WavHeader, FieldsAndBlockSizeFollowTheFormat) {
    const HeaderRow& r = GetParam();
    set_sound_format(r.rate, r.bytes, r.channels);
    const uint8_t* image = prepare_wav_image(r.duration);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image, prepare_wav_image(float(IMAGE_QUERY_ADDRESS)));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image), 4), "RIFF");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image + 8), 8), "WAVEfmt ");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(image + 36), 4), "data");
    EXPECT_EQ(le_u32(image + 4), r.riff);
    EXPECT_EQ(le_u32(image + 16), 16u);
    EXPECT_EQ(le_i16(image + 20), 1);
    EXPECT_EQ(le_i16(image + 22), r.channels);
    EXPECT_EQ(le_u32(image + 24), uint32_t(r.rate));
    EXPECT_EQ(le_u32(image + 28), r.byte_rate);
    EXPECT_EQ(le_i16(image + 32), r.align);
    EXPECT_EQ(le_i16(image + 34), r.bits);
    EXPECT_EQ(le_u32(image + 40), r.data);
    EXPECT_EQ(wav_image_size(), r.block);
    EXPECT_EQ(std::memcmp(wav_header_template(), image, WAV_HEADER_SIZE), 0);

    // Silence everywhere after the header, the pad byte included.
    const uint8_t silence = r.bytes == 1 ? 128 : 0;
    size_t loud = 0;
    for (size_t i = WAV_HEADER_SIZE; i < wav_image_size(); ++i)
        loud += image[i] != silence;
    EXPECT_EQ(loud, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WavHeader,
    testing::Values(HeaderRow{44100, 2, 2, 1, 176400, 176436, 176444, 176400, 4, 16},
                    HeaderRow{22050, 2, 1, 2, 88200, 88236, 88244, 44100, 2, 16},
                    HeaderRow{11025, 1, 1, 1, 11025, 11062, 11070, 11025, 1, 8},
                    HeaderRow{5512, 1, 2, 4, 44096, 44132, 44140, 11024, 2, 8},
                    // Durations below the minimum, zero included, become 0.1 s.
                    HeaderRow{44100, 2, 1, 0, 8820, 8856, 8864, 88200, 2, 16},
                    HeaderRow{44100, 2, 1, 0.05f, 8820, 8856, 8864, 88200, 2, 16}));

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
