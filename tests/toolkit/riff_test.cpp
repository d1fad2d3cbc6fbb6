// The RIFF chunk walk: what a sound may be made from.
#include "test_files.h"
#include "toolkit/riff.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// 400 bytes of 16-bit mono at 44100 Hz, laid out as the synthesizer writes it.
const Bytes tone = make_wav(1, 16, 44100, Bytes(400, 7));

TEST(RiffWalk, FindsTheDataOfEveryReadableLayout) {
    struct Case {
        const char* what;
        Bytes image;
        size_t data_offset, size;
        PcmFormat format;
    };
    // An odd-sized "LIST" chunk before the data is stepped over by its size, and the form type
    // is not looked at.
    Bytes listed = tone;
    const uint8_t list[] = {'L', 'I', 'S', 'T', 5, 0, 0, 0, 'a', 'b', 'c', 'd', 'e'};
    listed.insert(listed.begin() + 36, list, list + sizeof list);
    put_u32(listed, 4, uint32_t(listed.size() - 8));
    std::memcpy(&listed[8], "XXXX", 4);
    const Case cases[] = {
        {"the synthesizer's layout", tone, 44, 400, {1, 16, 44100, 2}},
        {"a chunk before the data, another form", listed, 36 + 13 + 8, 400, {1, 16, 44100, 2}},
        {"an empty data chunk at the end", make_wav(2, 8, 11025, {}), 44, 0, {2, 8, 11025, 2}},
        {"8-bit mono", make_wav(1, 8, 5512, Bytes(16, 0)), 44, 16, {1, 8, 5512, 1}},
        {"16-bit stereo", make_wav(2, 16, 5512, Bytes(16, 0)), 44, 16, {2, 16, 5512, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WavePcm w;
        ASSERT_TRUE(riff_read_wave(c.image.data(), w));
        EXPECT_EQ(w.data, c.image.data() + c.data_offset);
        EXPECT_EQ(w.size, c.size);
        EXPECT_EQ(std::memcmp(&w.format, &c.format, sizeof(PcmFormat)), 0);
    }
}

// Each case writes 2- or 4-byte fields of the tone image (four characters fit in 4 bytes);
// the result is refused.  Nothing beyond the RIFF size is read, no step may wrap, and the
// format is plain PCM that a device can play.
TEST(RiffWalk, RefusesWhatItCannotReadWithinItsBounds) {
    using Fields = std::vector<std::tuple<size_t, int, uint32_t>>; // offset, bytes, value
    constexpr uint32_t JUNK = 'j' | 'u' << 8 | 'n' << 16 | uint32_t('k') << 24;
    constexpr uint32_t LIST = 'L' | 'I' << 8 | 'S' << 16 | uint32_t('T') << 24;
    const std::vector<std::pair<const char*, Fields>> cases = {
        {"not RIFF", {{0, 2, 'r'}}},
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
        {"a rate below any device", {{24, 4, 50}}},
        {"a rate above any device", {{24, 4, 1000000}}},
        {"a stereo block alignment for mono", {{32, 2, 4}}},
        {"a format chunk too short for PCM", {{16, 4, 14}}},
    };
    for (const auto& [what, fields] : cases) {
        Bytes b = tone;
        for (const auto& [offset, bytes, value] : fields) {
            if (bytes == 2) put_u16(b, offset, uint16_t(value));
            if (bytes == 4) put_u32(b, offset, value);
        }
        WavePcm w;
        EXPECT_FALSE(riff_read_wave(b.data(), w)) << what;
    }
    WavePcm w;
    EXPECT_FALSE(riff_read_wave(nullptr, w));
}

} // namespace
