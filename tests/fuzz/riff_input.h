// The fuzz input as a WAV image for sound_load_wav_memory, which is given no length and
// trusts the RIFF size.
#pragma once

#include "toolkit/le_bytes.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

// A block of exactly the length the RIFF header states (8 + the size at offset 4), so that
// the address sanitizer sees any read past it; null when the input is shorter than that.
inline std::unique_ptr<uint8_t[]> riff_image(const uint8_t* data, size_t size) {
    if (size < 8) return nullptr;
    const size_t length = 8 + size_t(le_u32(data + 4));
    if (length > size) return nullptr;
    std::unique_ptr<uint8_t[]> image(new uint8_t[length]);
    std::memcpy(image.get(), data, length);
    return image;
}
