// The fuzz input as a WAV image for sound_load_wav_memory, which is given no length and
// trusts the RIFF size.
#pragma once

#include "toolkit/le_bytes.h"
#include "toolkit/toolkit.h"

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

// One fuzz input through the sound service: loaded, played and freed when it makes a sound;
// -1 (not kept in the corpus) when it is shorter than its RIFF size.
inline int load_and_play(const uint8_t* data, size_t size) {
    const auto image = riff_image(data, size);
    if (!image) return -1;
    const intptr_t sound = sound_load_wav_memory(AUTO_NUMBER, image.get());
    if (sound) {
        sound_play(int32_t(sound), 0, -1);
        sound_free(int32_t(sound));
    }
    return 0;
}
