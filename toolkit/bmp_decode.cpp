// Minimal BMP and icon readers: uncompressed device-independent bitmaps of 8, 24 or 32 bits
// per pixel, and icon files whose chosen entry is such a bitmap or a PNG.
#include "toolkit/image_decode.h"
#include "toolkit/le_bytes.h"

#include <cstring>

namespace {

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

// A bitmap info header at dib (dib_size bytes available from it) with its pixels at
// pixel_offset from dib.  An icon's header counts the height twice (colour and mask) and is
// followed by a 1-bit AND mask that makes pixels transparent.
bool decode_dib(const uint8_t* dib, size_t dib_size, size_t pixel_offset, bool icon,
                PixelImage& out) {
    if (dib_size < 40) return false;
    const uint32_t header = le_u32(dib);
    if (header < 40 || header > dib_size) return false;
    const int32_t width = int32_t(le_u32(dib + 4));
    int32_t height = int32_t(le_u32(dib + 8));
    const uint16_t planes = le_u16(dib + 12);
    const uint16_t bits = le_u16(dib + 14);
    const uint32_t compression = le_u32(dib + 16);
    uint32_t colours = le_u32(dib + 32);
    if (planes != 1 || width <= 0 || height == 0 || height == INT32_MIN) return false;
    if (compression != BI_RGB && !(compression == BI_BITFIELDS && bits == 32)) return false;
    if (bits != 8 && bits != 24 && bits != 32) return false;
    const bool top_down = height < 0;
    if (top_down) height = -height;
    if (icon) {
        if (top_down || height % 2) return false;
        height /= 2;
    }
    if (!image_size_allowed(width, height)) return false;

    size_t palette_offset = header + (compression == BI_BITFIELDS ? 12 : 0);
    if (bits == 8) {
        if (colours == 0 || colours > 256) colours = 256;
        if (palette_offset + size_t(colours) * 4 > dib_size) return false;
        if (pixel_offset == 0) pixel_offset = palette_offset + size_t(colours) * 4;
    } else if (pixel_offset == 0) {
        pixel_offset = palette_offset;
    }
    const size_t stride = (size_t(width) * bits + 31) / 32 * 4;
    const size_t mask_stride = (size_t(width) + 31) / 32 * 4;
    const size_t colour_bytes = stride * size_t(height);
    const size_t mask_bytes = icon ? mask_stride * size_t(height) : 0;
    if (pixel_offset > dib_size || colour_bytes > dib_size - pixel_offset) return false;
    const bool have_mask = icon && mask_bytes <= dib_size - pixel_offset - colour_bytes;
    // A 32-bit icon carries its own alpha; other icons take it from the mask.
    const bool alpha = icon && (bits == 32 || have_mask);

    const int channels = alpha ? 4 : 3;
    out.width = width;
    out.height = height;
    out.alpha = alpha;
    out.pixels.assign(size_t(width) * size_t(height) * channels, 0);
    const uint8_t* pixels = dib + pixel_offset;
    const uint8_t* palette = dib + palette_offset;
    for (int32_t y = 0; y < height; ++y) {
        const int32_t src_row = top_down ? y : height - 1 - y;
        const uint8_t* row = pixels + stride * size_t(src_row);
        const uint8_t* mask = pixels + colour_bytes + mask_stride * size_t(src_row);
        uint8_t* dest = out.pixels.data() + size_t(y) * size_t(width) * channels;
        for (int32_t x = 0; x < width; ++x, dest += channels) {
            const uint8_t* bgr;
            if (bits == 8) {
                const uint8_t index = row[x];
                bgr = index < colours ? palette + size_t(index) * 4 : palette;
            } else {
                bgr = row + size_t(x) * (bits / 8);
            }
            dest[0] = bgr[2];
            dest[1] = bgr[1];
            dest[2] = bgr[0];
            if (!alpha) continue;
            if (bits == 32) {
                dest[3] = bgr[3];
            } else {
                const bool transparent = (mask[x / 8] >> (7 - x % 8)) & 1;
                dest[3] = transparent ? 0 : 255;
            }
        }
    }
    return true;
}

} // namespace

bool bmp_decode(const void* data, size_t size, PixelImage& out) {
    out = PixelImage{};
    const auto* p = static_cast<const uint8_t*>(data);
    if (!p || size < 14 + 40 || p[0] != 'B' || p[1] != 'M') return false;
    const uint32_t offset = le_u32(p + 10);
    if (offset < 14 + 40 || offset > size) return false;
    if (decode_dib(p + 14, size - 14, offset - 14, false, out)) return true;
    out = PixelImage{};
    return false;
}

bool ico_decode(const void* data, size_t size, PixelImage& out) {
    out = PixelImage{};
    const auto* p = static_cast<const uint8_t*>(data);
    if (!p || size < 6 || le_u16(p) != 0 || le_u16(p + 2) != 1) return false;
    const uint16_t count = le_u16(p + 4);
    if (count == 0 || 6 + size_t(count) * 16 > size) return false;
    // The entry with the most pixels, the first of equals.
    size_t best = 0;
    uint32_t best_area = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* entry = p + 6 + i * 16;
        const uint32_t w = entry[0] ? entry[0] : 256;
        const uint32_t h = entry[1] ? entry[1] : 256;
        if (w * h > best_area) {
            best_area = w * h;
            best = i;
        }
    }
    const uint8_t* entry = p + 6 + best * 16;
    const uint32_t bytes = le_u32(entry + 8);
    const uint32_t offset = le_u32(entry + 12);
    if (offset > size || bytes > size - offset || bytes < 8) return false;
    static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (std::memcmp(p + offset, png_signature, 8) == 0) return png_decode(p + offset, bytes, out);
    if (decode_dib(p + offset, bytes, 0, true, out)) return true;
    out = PixelImage{};
    return false;
}

bool image_decode(const void* data, size_t size, PixelImage& out) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (!p) return false;
    if (size >= 2 && p[0] == 'B' && p[1] == 'M') return bmp_decode(data, size, out);
    if (ico_decode(data, size, out)) return true;
    return png_decode(data, size, out);
}
