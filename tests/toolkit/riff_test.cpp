// The RIFF chunk walk: what a sound may be made from.
#include "test_files.h"
#include "toolkit/riff.h"

#include <gtest/gtest.h>

namespace {

Bytes tone_image() {
    return make_wav(1, 16, 44100, Bytes(400, 7));
}

bool readable(const Bytes& b) {
    WavePcm w;
    return riff_read_wave(b.data(), w);
}

TEST(RiffWalk, ReadsTheSynthesizersLayout) {
    const Bytes b = tone_image();
    WavePcm w;
    ASSERT_TRUE(riff_read_wave(b.data(), w));
    EXPECT_EQ(w.data, b.data() + 44);
    EXPECT_EQ(w.size, 400u);
    EXPECT_EQ(w.format.channels, 1);
    EXPECT_EQ(w.format.bits, 16);
    EXPECT_EQ(w.format.rate, 44100);
    EXPECT_EQ(w.format.bytes_per_frame, 2);
}

TEST(RiffWalk, SkipsOtherChunksBeforeData) {
    Bytes b = tone_image();
    // An odd-sized "LIST" chunk between the format and the data, stepped over by its size.
    Bytes extra;
    append(extra, "LIST");
    append_u32(extra, 5);
    append(extra, "abcde");
    b.insert(b.begin() + 36, extra.begin(), extra.end());
    put_u32(b, 4, uint32_t(b.size() - 8));
    WavePcm w;
    ASSERT_TRUE(riff_read_wave(b.data(), w));
    EXPECT_EQ(w.data, b.data() + 36 + 13 + 8);
    EXPECT_EQ(w.size, 400u);
}

// An empty data chunk is the last thing the file holds: found, with nothing in it.
TEST(RiffWalk, FindsAnEmptyDataChunkAtTheEnd) {
    const Bytes b = make_wav(2, 8, 11025, {});
    WavePcm w;
    ASSERT_TRUE(riff_read_wave(b.data(), w));
    EXPECT_EQ(w.size, 0u);
    EXPECT_EQ(w.data, b.data() + 44);
}

TEST(RiffWalk, IgnoresTheFormType) {
    Bytes b = tone_image();
    std::memcpy(&b[8], "XXXX", 4);
    EXPECT_TRUE(readable(b));
}

TEST(RiffWalk, RefusesWhatIsNotRiffOrHasFmtElsewhere) {
    Bytes b = tone_image();
    b[0] = 'r';
    EXPECT_FALSE(readable(b));

    b = tone_image();
    std::memcpy(&b[12], "LIST", 4);
    EXPECT_FALSE(readable(b));

    WavePcm w;
    EXPECT_FALSE(riff_read_wave(nullptr, w));
}

TEST(RiffWalk, NothingBeyondTheRiffSizeIsRead) {
    // The data claims more bytes than the image holds.
    Bytes b = tone_image();
    put_u32(b, 40, 401);
    EXPECT_FALSE(readable(b));
    // A data size that wraps 32 bits when added to its offset.
    put_u32(b, 40, 0xFFFFFFF0u);
    EXPECT_FALSE(readable(b));
    // A RIFF size that cuts the data short.
    b = tone_image();
    put_u32(b, 4, 36 + 100);
    EXPECT_FALSE(readable(b));
    // Too short to hold a format.
    b = tone_image();
    put_u32(b, 4, 20);
    EXPECT_FALSE(readable(b));
    // A format chunk larger than the image.
    b = tone_image();
    put_u32(b, 16, 1000);
    EXPECT_FALSE(readable(b));
}

TEST(RiffWalk, AWalkThatRunsOffTheEndFindsNothing) {
    Bytes b = tone_image();
    std::memcpy(&b[36], "junk", 4);
    EXPECT_FALSE(readable(b)); // steps over 400 bytes, lands past the end
    put_u32(b, 40, 0xFFFFFFFFu);
    EXPECT_FALSE(readable(b)); // a step that would wrap
    // The image ends with a chunk header cut in half.
    b = tone_image();
    std::memcpy(&b[36], "junk", 4);
    put_u32(b, 40, 396);
    EXPECT_FALSE(readable(b));
}

TEST(RiffWalk, ChecksTheFormat) {
    struct Case {
        size_t offset;
        int bytes;
        uint32_t value;
    };
    const Case cases[] = {
        {20, 2, 3},                   // IEEE float, not PCM
        {20, 2, 0xFFFE},              // extensible
        {22, 2, 0},                   // no channel
        {22, 2, 3},                   // three channels
        {34, 2, 24},                  // 24-bit
        {34, 2, 12},                  // not a byte width
        {24, 4, 0},                   // no rate
        {24, 4, 50},                  // below any device
        {24, 4, 1000000}, {32, 2, 4}, // block alignment of stereo 16-bit for a mono 16-bit format
        {16, 4, 14},                  // a format chunk too short for PCM
    };
    for (const Case& c : cases) {
        Bytes b = tone_image();
        if (c.bytes == 2)
            put_u16(b, c.offset, uint16_t(c.value));
        else
            put_u32(b, c.offset, c.value);
        EXPECT_FALSE(readable(b)) << "offset " << c.offset << " value " << c.value;
    }
    for (int channels : {1, 2})
        for (int bits : {8, 16})
            EXPECT_TRUE(readable(make_wav(channels, bits, 5512, Bytes(16, 0))));
}

} // namespace
