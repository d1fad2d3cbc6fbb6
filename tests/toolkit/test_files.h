// Small image and sound files made in memory for the toolkit tests.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void put_u16(Bytes& b, size_t at, uint16_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
inline void put_u32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
inline void append(Bytes& b, const char* s) {
    b.insert(b.end(), s, s + std::strlen(s));
}
inline void append_u32(Bytes& b, uint32_t v) {
    b.resize(b.size() + 4);
    put_u32(b, b.size() - 4, v);
}

// A BMP whose pixel (x, y) is (x, y, 0x5A) in R, G, B; at 8 bits a palette of two colours
// (10 + i, i, 0x5A) with pixel x at index x % 3, where index 2 has no colour (the first one is
// shown); 32-bit pixels carry 0x77 in their fourth byte.
inline Bytes make_bmp(int width, int height, int bits = 24, uint32_t compression = 0,
                      bool top_down = false) {
    const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    const size_t palette = bits == 8 ? 8 : 0, masks = compression == 3 ? 12 : 0;
    const uint32_t offset = uint32_t(54 + masks + palette);
    Bytes b = {'B', 'M'};
    // The file's size (left 0), a reserved field and where the pixels start; then the info
    // header: its size, width, height, one plane and the bits per pixel, compression, the image
    // size and resolution (left 0), the colours used and those that matter.
    for (uint32_t v : {0u, 0u, offset, 40u, uint32_t(width), uint32_t(top_down ? -height : height),
                       1 | uint32_t(bits) << 16, compression, 0u, 0u, 0u, bits == 8 ? 2u : 0u, 0u})
        append_u32(b, v);
    b.resize(offset + stride * height); // BI_BITFIELDS masks left 0
    for (uint32_t i = 0; i < palette / 4; ++i)
        put_u32(b, 54 + masks + 4 * i, 0x5Au | i << 8 | (10 + i) << 16);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const uint8_t bgrx[4] = {0x5A, uint8_t(y), uint8_t(x), 0x77}, index = uint8_t(x % 3);
            std::memcpy(&b[offset + stride * size_t(top_down ? y : height - 1 - y) + x * bits / 8],
                        bits == 8 ? &index : bgrx, size_t(bits / 8));
        }
    return b;
}

// A RIFF/WAVE PCM image laid out as the synthesizer lays it out: "fmt " of 16 bytes, then
// "data" at offset 36, a pad byte after odd data.
inline Bytes make_wav(int channels, int bits, int rate, const Bytes& pcm) {
    Bytes b;
    append(b, "RIFF");
    append_u32(b, uint32_t(36 + pcm.size() + pcm.size() % 2));
    append(b, "WAVEfmt ");
    append_u32(b, 16);
    append_u32(b, 1 | uint32_t(channels) << 16); // plain PCM, then the channels
    append_u32(b, uint32_t(rate));
    append_u32(b, uint32_t(rate * channels * bits / 8));
    append_u32(b, uint32_t(channels * bits / 8 | bits << 16)); // block alignment, then bits
    append(b, "data");
    append_u32(b, uint32_t(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    if (pcm.size() % 2) b.push_back(0);
    return b;
}

// 16-bit PCM from samples in [-1, 1].
inline Bytes pcm16(const std::vector<double>& samples) {
    Bytes b(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i)
        put_u16(b, 2 * i, uint16_t(std::lround(samples[i] * 32767.0)));
    return b;
}
