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
// The most pixels any reader decodes.  The program shows only its own pictures, the largest
// being the 470 x 330 logo (155,100 pixels; the icon is 32 x 32).  2048 x 2048 leaves room for
// pictures 27 times that size, and holds the decoded buffer to 16 MiB as RGBA, whereas a header
// of a few bytes can claim 16384 x 16384 (1 GiB) over almost no data.
constexpr int64_t IMAGE_MAX_PIXELS = int64_t(2048) * 2048;

// Whether a reader may decode an image of width x height: each side from 1 to IMAGE_MAX_SIDE
// and at most IMAGE_MAX_PIXELS in all.  Every reader asks this of the size a file claims
// before it makes the buffer for its pixels.
constexpr bool image_size_allowed(int64_t width, int64_t height) {
    return width >= 1 && height >= 1 && width <= IMAGE_MAX_SIDE && height <= IMAGE_MAX_SIDE &&
           width * height <= IMAGE_MAX_PIXELS;
}

// Each reader reads no byte outside data[0, size) and returns false (leaving out empty) when
// the data is not a file of its kind or is damaged.
bool png_decode(const void* data, size_t size, PixelImage& out);
bool bmp_decode(const void* data, size_t size, PixelImage& out);
bool ico_decode(const void* data, size_t size, PixelImage& out);
// Any of the three: "BM" selects BMP, a valid icon directory an icon, else PNG.
bool image_decode(const void* data, size_t size, PixelImage& out);
