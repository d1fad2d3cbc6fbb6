// PNG files in memory through libpng, expanded to 8-bit RGB or RGBA.
#include "toolkit/image_decode.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

namespace {

// Everything the decoder touches after setjmp lives here, behind a pointer, so that a
// longjmp out of libpng leaves it in a known state.
struct PngJob {
    const uint8_t* data;
    size_t size;
    size_t pos;
    std::vector<png_bytep> rows;
    PixelImage* out;
};

void read_from_memory(png_structp png, png_bytep dest, png_size_t length) {
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (length > job->size - job->pos) png_error(png, "read past the end of the data");
    std::memcpy(dest, job->data + job->pos, length);
    job->pos += length;
}

// Errors end the decode through longjmp; warnings are ignored (nothing is ever printed).
void on_error(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void on_warning(png_structp, png_const_charp) {}

bool decode(PngJob* job) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_error, on_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        job->out->pixels.clear();
        return false;
    }
    png_set_read_fn(png, job, read_from_memory);
    png_set_user_limits(png, IMAGE_MAX_SIDE, IMAGE_MAX_SIDE);
    png_read_info(png, info);
    if (!image_size_allowed(png_get_image_width(png, info), png_get_image_height(png, info)))
        png_error(png, "too many pixels");

    const int bit_depth = png_get_bit_depth(png, info);
    const int colour = png_get_color_type(png, info);
    // Palette to RGB, grey below 8 bits to 8, tRNS to a full alpha channel.
    png_set_expand(png);
    if (bit_depth == 16) png_set_strip_16(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    const int channels = png_get_channels(png, info);
    if ((channels != 3 && channels != 4) || png_get_bit_depth(png, info) != 8)
        png_error(png, "unexpected layout after the transformations");
    const size_t stride = size_t(width) * size_t(channels);
    if (png_get_rowbytes(png, info) != stride) png_error(png, "unexpected row size");

    PixelImage& out = *job->out;
    out.width = int32_t(width);
    out.height = int32_t(height);
    out.alpha = channels == 4;
    out.pixels.assign(stride * height, 0);
    job->rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        job->rows[y] = out.pixels.data() + stride * y;
    // Row by row; an interlaced image needs every pass over every row.
    for (int pass = 0; pass < passes; ++pass)
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(png, job->rows[y], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool png_decode(const void* data, size_t size, PixelImage& out) {
    out = PixelImage{};
    if (!data) return false;
    size = std::min(size, PNG_MAX_READ_BYTES);
    if (size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8) != 0) return false;
    PngJob job{static_cast<const uint8_t*>(data), size, 0, {}, &out};
    if (decode(&job)) return true;
    out = PixelImage{};
    return false;
}
