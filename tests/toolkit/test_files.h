// Small image and sound files made in memory for the toolkit tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
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
    const size_t offset = 54 + masks + palette;
    Bytes b(offset + stride * height, 0);
    b[0] = 'B';
    b[1] = 'M';
    put_u32(b, 10, uint32_t(offset));
    put_u32(b, 14, 40);
    put_u32(b, 18, uint32_t(width));
    put_u32(b, 22, uint32_t(top_down ? -height : height));
    put_u16(b, 26, 1);
    put_u16(b, 28, uint16_t(bits));
    put_u32(b, 30, compression);
    put_u32(b, 46, bits == 8 ? 2 : 0);
    for (int i = 0; i < int(palette / 4); ++i)
        put_u32(b, 54 + masks + 4 * i, 0x5Au | uint32_t(i) << 8 | uint32_t(10 + i) << 16);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &b[offset + stride * size_t(top_down ? y : height - 1 - y) +
                            size_t(x) * (bits / 8)];
            if (bits == 8) {
                p[0] = uint8_t(x % 3);
                continue;
            }
            p[0] = 0x5A;
            p[1] = uint8_t(y);
            p[2] = uint8_t(x);
            if (bits == 32) p[3] = 0x77;
        }
    return b;
}

// A RIFF/WAVE PCM image laid out as the synthesizer lays it out: "fmt " of 16 bytes, then
// "data" at offset 36, a pad byte after odd data.
inline Bytes make_wav(int channels, int bits, int rate, const Bytes& pcm) {
    Bytes b;
    append(b, "RIFF");
    append_u32(b, 0);
    append(b, "WAVEfmt ");
    append_u32(b, 16);
    b.resize(36);
    put_u16(b, 20, 1);
    put_u16(b, 22, uint16_t(channels));
    put_u32(b, 24, uint32_t(rate));
    put_u32(b, 28, uint32_t(rate * channels * bits / 8));
    put_u16(b, 32, uint16_t(channels * bits / 8));
    put_u16(b, 34, uint16_t(bits));
    append(b, "data");
    append_u32(b, uint32_t(pcm.size()));
    b.insert(b.end(), pcm.begin(), pcm.end());
    if (pcm.size() % 2) b.push_back(0);
    put_u32(b, 4, uint32_t(b.size() - 8));
    return b;
}

// 16-bit PCM from samples in [-1, 1].
inline Bytes pcm16(const std::vector<double>& samples) {
    Bytes b(samples.size() * 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        double s = samples[i] * 32767.0;
        const int v = int(s < 0 ? s - 0.5 : s + 0.5);
        put_u16(b, 2 * i, uint16_t(int16_t(v)));
    }
    return b;
}
