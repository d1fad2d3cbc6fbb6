// The RIFF chunk walk: what a sound may be made from.
#include "test_files.h"
#include "toolkit/riff.h"

#include <gtest/gtest.h>

namespace {

// 400 bytes of 16-bit mono at 44100 Hz, laid out as the synthesizer writes it.
Bytes tone_image() {
    return make_wav(1, 16, 44100, Bytes(400, 7));
}

// An odd-sized "LIST" chunk between the format and the data, stepped over by its size.
Bytes with_list_chunk() {
    Bytes b = tone_image(), extra;
    append(extra, "LIST");
    append_u32(extra, 5);
    append(extra, "abcde");
    b.insert(b.begin() + 36, extra.begin(), extra.end());
    put_u32(b, 4, uint32_t(b.size() - 8));
    return b;
}

TEST(RiffWalk, FindsTheDataOfEveryReadableLayout) {
    struct Case {
        const char* what;
        Bytes image;
        size_t data_offset, size;
        PcmFormat format;
    };
    Bytes other_form = tone_image();
    std::memcpy(&other_form[8], "XXXX", 4); // the form type is not looked at
    const Case cases[] = {
        {"the synthesizer's layout", tone_image(), 44, 400, {1, 16, 44100, 2}},
        {"a chunk before the data", with_list_chunk(), 36 + 13 + 8, 400, {1, 16, 44100, 2}},
        {"an empty data chunk at the end", make_wav(2, 8, 11025, {}), 44, 0, {2, 8, 11025, 2}},
        {"another form type", other_form, 44, 400, {1, 16, 44100, 2}},
        {"8-bit mono", make_wav(1, 8, 5512, Bytes(16, 0)), 44, 16, {1, 8, 5512, 1}},
        {"16-bit stereo", make_wav(2, 16, 5512, Bytes(16, 0)), 44, 16, {2, 16, 5512, 4}},
    };
    for (const Case& c : cases) {
        WavePcm w;
        ASSERT_TRUE(riff_read_wave(c.image.data(), w)) << c.what;
        EXPECT_EQ(w.data, c.image.data() + c.data_offset) << c.what;
        EXPECT_EQ(w.size, c.size) << c.what;
        EXPECT_EQ((std::vector{w.format.channels, w.format.bits, w.format.rate,
                               w.format.bytes_per_frame}),
                  (std::vector{c.format.channels, c.format.bits, c.format.rate,
                               c.format.bytes_per_frame}))
            << c.what;
    }
}

// Each case writes fields of the tone image (2- or 4-byte values, or four characters); the
// result is refused.  Nothing beyond the RIFF size is read, no step may wrap, and the format
// is plain PCM that a device can play.
TEST(RiffWalk, RefusesWhatItCannotReadWithinItsBounds) {
    struct Field {
        size_t offset;
        int bytes;
        uint32_t value;
    };
    constexpr uint32_t JUNK = 'j' | 'u' << 8 | 'n' << 16 | uint32_t('k') << 24;
    constexpr uint32_t LIST = 'L' | 'I' << 8 | 'S' << 16 | uint32_t('T') << 24;
    const std::vector<std::pair<const char*, std::vector<Field>>> cases = {
        {"not RIFF", {{0, 1, 'r'}}},
        {"no format chunk first", {{12, 4, LIST}}},
        {"data past the end", {{40, 4, 401}}},
        {"a data size that wraps", {{40, 4, 0xFFFFFFF0u}}},
        {"a RIFF size that cuts the data short", {{4, 4, 36 + 100}}},
        {"a RIFF size too short for a format", {{4, 4, 20}}},
        {"a format chunk larger than the image", {{16, 4, 1000}}},
        {"a step over 400 bytes past the end", {{36, 4, JUNK}}},
        {"a step that wraps", {{36, 4, JUNK}, {40, 4, 0xFFFFFFFFu}}},
        {"a chunk header cut in half at the end", {{36, 4, JUNK}, {40, 4, 396}}},
        {"IEEE float", {{20, 2, 3}}},
        {"extensible", {{20, 2, 0xFFFE}}},
        {"no channel", {{22, 2, 0}}},
        {"three channels", {{22, 2, 3}}},
        {"24-bit", {{34, 2, 24}}},
        {"not a byte width", {{34, 2, 12}}},
        {"no rate", {{24, 4, 0}}},
        {"a rate below any device", {{24, 4, 50}}},
        {"a rate above any device", {{24, 4, 1000000}}},
        {"a stereo block alignment for mono", {{32, 2, 4}}},
        {"a format chunk too short for PCM", {{16, 4, 14}}},
    };
    for (const auto& [what, fields] : cases) {
        Bytes b = tone_image();
        for (const Field& f : fields) {
            if (f.bytes == 1) b[f.offset] = uint8_t(f.value);
            if (f.bytes == 2) put_u16(b, f.offset, uint16_t(f.value));
            if (f.bytes == 4) put_u32(b, f.offset, f.value);
        }
        WavePcm w;
        EXPECT_FALSE(riff_read_wave(b.data(), w)) << what;
    }
    WavePcm w;
    EXPECT_FALSE(riff_read_wave(nullptr, w));
}

} // namespace
