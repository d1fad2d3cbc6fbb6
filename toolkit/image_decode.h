// Readers of image files held in memory: PNG (over libpng), BMP and icon files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Decoded pixels: rows top to bottom, tightly packed, RGB (3 bytes per pixel) or, when alpha
// is set, RGBA (4 bytes, not premultiplied).
struct PixelImage {
    int32_t width = 0;
    int32_t height = 0;
    bool alpha = false;
    std::vector<uint8_t> pixels;
};

// The most a PNG reader takes from its data.
constexpr size_t PNG_MAX_READ_BYTES = 10'000'000;
// The largest width or height any reader accepts.
constexpr int32_t IMAGE_MAX_SIDE = 16384;

// Each reader reads no byte outside data[0, size) and returns false (leaving out empty) when
// the data is not a file of its kind or is damaged.
bool png_decode(const void* data, size_t size, PixelImage& out);
bool bmp_decode(const void* data, size_t size, PixelImage& out);
bool ico_decode(const void* data, size_t size, PixelImage& out);
// Any of the three: "BM" selects BMP, a valid icon directory an icon, else PNG.
bool image_decode(const void* data, size_t size, PixelImage& out);
