#include "toolkit/riff.h"
#include "toolkit/le_bytes.h"

#include <cstring>

namespace {

constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint64_t FMT_BODY = 20;

} // namespace

bool riff_read_wave(const void* image, WavePcm& out) {
    const auto* p = static_cast<const uint8_t*>(image);
    if (!p || std::memcmp(p, "RIFF", 4) != 0) return false;
    const uint64_t length = uint64_t(le_u32(p + 4)) + 8;
    // The header fields below (up to the format's bit depth) must lie inside the image.
    if (length < FMT_BODY + 16) return false;
    if (std::memcmp(p + 12, "fmt ", 4) != 0) return false;
    const uint64_t fmt_size = le_u32(p + 16);
    if (fmt_size < 16 || fmt_size > length - FMT_BODY) return false;

    const uint16_t tag = le_u16(p + 20);
    const uint16_t channels = le_u16(p + 22);
    const uint32_t rate = le_u32(p + 24);
    const uint16_t block_align = le_u16(p + 32);
    const uint16_t bits = le_u16(p + 34);
    if (tag != WAVE_FORMAT_PCM || (channels != 1 && channels != 2)) return false;
    if (bits != 8 && bits != 16) return false;
    if (rate < uint32_t(WAVE_MIN_RATE) || rate > uint32_t(WAVE_MAX_RATE)) return false;
    if (block_align != channels * bits / 8) return false;

    // No pad byte after odd-sized chunks: each chunk is stepped over by its size field alone.
    uint64_t pos = FMT_BODY + fmt_size;
    while (pos + 8 <= length) {
        const uint64_t size = le_u32(p + pos + 4);
        if (std::memcmp(p + pos, "data", 4) == 0) {
            if (size > length - pos - 8) return false;
            out.format = PcmFormat{channels, bits, int32_t(rate), block_align};
            out.data = p + pos + 8;
            out.size = size_t(size);
            return true;
        }
        pos += 8 + size;
    }
    return false;
}
