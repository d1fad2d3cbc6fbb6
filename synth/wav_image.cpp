#include "synth/wav_image.h"

#include "synth/sound_format.h"
#include "toolkit/toolkit.h"

#include <cmath>
#include <cstring>

namespace {
uint8_t header_template[WAV_HEADER_SIZE] = {
    'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16,  0,   0, 0, 1, 0,
    0,   0,   0,   0,   0, 0, 0, 0, 0,   0,   0,   0,   0,   0,   'd', 'a', 't', 'a', 0, 0, 0, 0};

uint8_t* image = nullptr;
size_t image_size = 0;

// The RIFF size is a 32-bit field: an image whose block would not fit it cannot be described.
constexpr double MAX_BLOCK_BYTES = 4294967295.0;
} // namespace

bool measure_wav_image(float duration, size_t* block_size) {
    const float d = image_duration(duration);

    const int32_t rate = set_sound_format(FORMAT_QUERY_RATE, 0, 0);
    const int32_t bytes_per_sample = set_sound_format(FORMAT_QUERY_BYTES, 0, 0);
    const int32_t channels = set_sound_format(FORMAT_QUERY_CHANNELS, 0, 0);
    const uint32_t byte_rate = uint32_t(rate * bytes_per_sample * channels);
    const uint16_t block_align = uint16_t(bytes_per_sample * channels);
    const uint16_t bits = uint16_t(bytes_per_sample * 8);

    // Frames in double precision, rounded ties-to-even.  A block too large for the header
    // (or an infinite duration) is treated like a failed allocation.
    const double frames = std::nearbyint(double(rate) * double(d));
    const double data_bytes = frames * block_align;
    const bool fits = data_bytes + WAV_HEADER_SIZE + 1 <= MAX_BLOCK_BYTES;
    const uint32_t data_size = fits ? uint32_t(data_bytes) : 0;
    uint32_t riff_size = data_size + 36;
    if (riff_size & 1) ++riff_size;

    le_write_u32(header_template + 4, riff_size);
    le_write_u16(header_template + 22, uint16_t(channels));
    le_write_u32(header_template + 24, uint32_t(rate));
    le_write_u32(header_template + 28, byte_rate);
    le_write_u16(header_template + 32, block_align);
    le_write_u16(header_template + 34, bits);
    le_write_u32(header_template + 40, data_size);
    *block_size = fits ? size_t(riff_size) + 8 : 0;
    return fits;
}

uint8_t* prepare_wav_image(float duration_or_query) {
    if (!(duration_or_query >= 0.0f)) {
        if (std::isnan(duration_or_query)) return nullptr;
        return std::nearbyint(double(duration_or_query)) == IMAGE_QUERY_ADDRESS ? image : nullptr;
    }
    size_t size = 0;
    const bool fits = measure_wav_image(duration_or_query, &size);
    memory_free(image);
    image = nullptr;
    image_size = 0;
    if (!fits) return nullptr;
    const int32_t bytes_per_sample = set_sound_format(FORMAT_QUERY_BYTES, 0, 0);
    image = static_cast<uint8_t*>(memory_alloc(size));
    if (!image) return nullptr;
    image_size = size;
    // The block comes zeroed, which is already 16-bit silence.
    if (bytes_per_sample == 1) std::memset(image, 128, size);
    std::memcpy(image, header_template, WAV_HEADER_SIZE);
    return image;
}

size_t wav_image_size() {
    return image ? image_size : 0;
}

const uint8_t* wav_header_template() {
    return header_template;
}
