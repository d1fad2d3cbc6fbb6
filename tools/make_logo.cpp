// Draws the logo both programs show in their splash window (a 470 x 330 picture with the
// maker's name over a drawn waveform: the same bytes go into both programs, so it names
// neither of them) and the 32 x 32 program icon, each written as an 8-bit
// RGB PNG without alpha; the icon also as a Windows icon file (24 bits per pixel).  The
// desktop's icon sizes are the same design drawn afresh at each size, not the 32 x 32 scaled.
// Usage: make-logo LOGO.png ICON.png [ICON.ico]   (the same bytes on every run)
//        make-logo --icon SIZE ICON.png            (the icon at SIZE x SIZE, 16 to 256)
//        make-logo --words                         (prints the words the logo shows)
#include <png.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
constexpr int LOGO_WIDTH = 470;
constexpr int LOGO_HEIGHT = 330;

// The maker's name, large, and two lines below the waveform.
constexpr const char* LOGO_WORDS[] = {"HALVEX", "TONE GENERATORS", "FREE TONES"};

struct Rgb {
    uint8_t r, g, b;
};

struct Canvas {
    int width, height;
    std::vector<Rgb> pixels = std::vector<Rgb>(size_t(width) * height);
    void blend(int x, int y, Rgb c, double alpha) {
        if (x < 0 || y < 0 || x >= width || y >= height || alpha <= 0) return;
        if (alpha > 1) alpha = 1;
        Rgb& p = pixels[y * width + x];
        p.r = uint8_t(std::lround(p.r + (c.r - p.r) * alpha));
        p.g = uint8_t(std::lround(p.g + (c.g - p.g) * alpha));
        p.b = uint8_t(std::lround(p.b + (c.b - p.b) * alpha));
    }
    void rect(int x0, int y0, int w, int h, Rgb c) {
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x)
                blend(x, y, c, 1);
    }
};

// A 5 x 7 pixel font for the letters the logo uses; each row is five bits, high bit left.
struct Glyph {
    char c;
    uint8_t rows[7];
};
constexpr Glyph FONT[] = {
    {'A', {0x0E, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'E', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x1F}},
    {'F', {0x1F, 0x10, 0x10, 0x1E, 0x10, 0x10, 0x10}},
    {'G', {0x0E, 0x11, 0x10, 0x17, 0x11, 0x11, 0x0F}},
    {'H', {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11}},
    {'K', {0x11, 0x12, 0x14, 0x18, 0x14, 0x12, 0x11}},
    {'L', {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x1F}},
    {'N', {0x11, 0x19, 0x15, 0x13, 0x11, 0x11, 0x11}},
    {'O', {0x0E, 0x11, 0x11, 0x11, 0x11, 0x11, 0x0E}},
    {'R', {0x1E, 0x11, 0x11, 0x1E, 0x14, 0x12, 0x11}},
    {'S', {0x0F, 0x10, 0x10, 0x0E, 0x01, 0x01, 0x1E}},
    {'T', {0x1F, 0x04, 0x04, 0x04, 0x04, 0x04, 0x04}},
    {'V', {0x11, 0x11, 0x11, 0x11, 0x11, 0x0A, 0x04}},
    {'X', {0x11, 0x11, 0x0A, 0x04, 0x0A, 0x11, 0x11}},
    {' ', {0, 0, 0, 0, 0, 0, 0}},
};

const Glyph* glyph(char c) {
    for (const Glyph& g : FONT)
        if (g.c == c) return &g;
    return nullptr;
}

// Text centred on cx, each font pixel a scale x scale block.
void text(Canvas& canvas, const char* s, int cx, int top, int scale, Rgb color) {
    const int advance = 6 * scale;
    const int width = int(std::strlen(s)) * advance - scale;
    int x = cx - width / 2;
    for (; *s; ++s, x += advance) {
        const Glyph* g = glyph(*s);
        if (!g) continue;
        for (int row = 0; row < 7; ++row)
            for (int col = 0; col < 5; ++col)
                if (g->rows[row] & (0x10 >> col))
                    canvas.rect(x + col * scale, top + row * scale, scale, scale, color);
    }
}

// A thick anti-aliased curve: every pixel's distance to the sampled polyline.
void wave(Canvas& canvas, double mid, double height, double cycles, double thickness, Rgb color) {
    const int width = canvas.width;
    std::vector<double> ys(width);
    for (int x = 0; x < width; ++x) {
        const double t = double(x) / (width - 1);
        const double envelope = std::sin(M_PI * t);
        ys[x] = mid - height * envelope * std::sin(2 * M_PI * cycles * t);
    }
    for (int x = 1; x < width; ++x) {
        const double y0 = ys[x - 1], y1 = ys[x];
        const int lo = int(std::floor(std::fmin(y0, y1) - thickness - 1));
        const int hi = int(std::ceil(std::fmax(y0, y1) + thickness + 1));
        for (int y = lo; y <= hi; ++y) {
            // Distance from (x, y) to the segment between (x-1, y0) and (x, y1).
            const double dx = 1, dy = y1 - y0;
            double u = ((1) * dx + (y - y0) * dy) / (dx * dx + dy * dy);
            u = std::fmin(1, std::fmax(0, u));
            const double px = x - 1 + u * dx, py = y0 + u * dy;
            const double d = std::hypot(x - px, y - py);
            canvas.blend(x, y, color, thickness / 2 + 0.5 - d);
        }
    }
}

// A vertical gradient from top to bottom colour.
void gradient(Canvas& c, Rgb top, Rgb bottom) {
    for (int y = 0; y < c.height; ++y) {
        const double t = double(y) / (c.height - 1);
        const Rgb row = {uint8_t(top.r + (bottom.r - top.r) * t),
                         uint8_t(top.g + (bottom.g - top.g) * t),
                         uint8_t(top.b + (bottom.b - top.b) * t)};
        for (int x = 0; x < c.width; ++x)
            c.pixels[y * c.width + x] = row;
    }
}

Canvas draw_logo() {
    Canvas c{LOGO_WIDTH, LOGO_HEIGHT};
    gradient(c, {18, 24, 64}, {38, 60, 134});
    // A faint grid, like an oscilloscope's.
    for (int x = 15; x < c.width; x += 40)
        for (int y = 0; y < c.height; ++y)
            c.blend(x, y, {120, 160, 220}, 0.12);
    for (int y = 25; y < c.height; y += 40)
        for (int x = 0; x < c.width; ++x)
            c.blend(x, y, {120, 160, 220}, 0.12);
    wave(c, 190, 70, 5.5, 7, {40, 90, 160});
    wave(c, 190, 70, 5.5, 3, {140, 230, 255});
    text(c, LOGO_WORDS[0], c.width / 2 + 3, 43, 9, {10, 14, 40});
    text(c, LOGO_WORDS[0], c.width / 2, 40, 9, {255, 214, 90});
    text(c, LOGO_WORDS[1], c.width / 2, 268, 3, {220, 232, 255});
    text(c, LOGO_WORDS[2], c.width / 2, 300, 2, {150, 175, 215});
    return c;
}

// The icon at `size` pixels square: one and a half cycles of the logo's wave on its
// gradient.  Below 32 pixels the stroke keeps two pixels' width so that it stays solid;
// above, it grows more slowly than the picture, and from 48 up it gets the logo's darker
// edge, from 64 up the oscilloscope grid as well.
// At 32 it is the program icon of the windows, as it has always been drawn.
Canvas draw_icon(int size = 32) {
    Canvas c{size, size};
    const double scale = size / 32.0;
    gradient(c, {18, 24, 64}, {38, 60, 134});
    if (size >= 64) {
        const int step = size / 8;
        for (int at = step / 2; at < size; at += step)
            for (int i = 0; i < size; ++i) {
                c.blend(at, i, {120, 160, 220}, 0.12);
                c.blend(i, at, {120, 160, 220}, 0.12);
            }
    }
    const double thickness = size <= 32 ? std::fmax(3.2 * scale, 2.0) : 3.2 * std::pow(scale, 0.75);
    if (size >= 48) wave(c, size / 2.0, 11 * scale, 1.5, thickness * 1.7, {40, 90, 160});
    wave(c, size / 2.0, 11 * scale, 1.5, thickness, {140, 230, 255});
    return c;
}

bool write_png(const char* path, const Canvas& canvas) {
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, canvas.width, canvas.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < canvas.height; ++y)
        png_write_row(png, reinterpret_cast<png_const_bytep>(&canvas.pixels[y * canvas.width]));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
void put16(std::vector<uint8_t>& out, unsigned v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// One 24-bit image in an icon file: the directory, a bitmap header of twice the height (colour
// rows and mask rows), the colour rows bottom up in B, G, R, and an all-opaque mask.
bool write_ico(const char* path, const Canvas& canvas) {
    const uint32_t colour_row = (uint32_t(canvas.width) * 3 + 3) & ~3u;
    const uint32_t mask_row = ((uint32_t(canvas.width) + 31) / 32) * 4;
    const uint32_t image_size = 40 + (colour_row + mask_row) * uint32_t(canvas.height);
    std::vector<uint8_t> out;
    put16(out, 0); // reserved
    put16(out, 1); // icon
    put16(out, 1); // one image
    out.push_back(uint8_t(canvas.width));
    out.push_back(uint8_t(canvas.height));
    out.push_back(0); // no palette
    out.push_back(0);
    put16(out, 1);  // planes
    put16(out, 24); // bits per pixel
    put32(out, image_size);
    put32(out, 6 + 16);
    put32(out, 40);
    put32(out, uint32_t(canvas.width));
    put32(out, uint32_t(canvas.height) * 2);
    put16(out, 1);
    put16(out, 24);
    for (int i = 0; i < 6; ++i)
        put32(out, 0); // no compression, sizes and palette left to the reader
    for (int y = canvas.height - 1; y >= 0; --y) {
        for (int x = 0; x < canvas.width; ++x) {
            const Rgb& p = canvas.pixels[size_t(y) * canvas.width + x];
            out.insert(out.end(), {p.b, p.g, p.r});
        }
        out.resize(out.size() + (colour_row - uint32_t(canvas.width) * 3), 0);
    }
    out.resize(out.size() + mask_row * uint32_t(canvas.height), 0);
    FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return (std::fclose(file) == 0) && written;
}
} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--words") == 0) {
        for (const char* words : LOGO_WORDS)
            std::printf("%s\n", words);
        return 0;
    }
    if (argc == 4 && std::strcmp(argv[1], "--icon") == 0) {
        char* end = nullptr;
        const long size = std::strtol(argv[2], &end, 10);
        if (*end != '\0' || size < 16 || size > 256) {
            std::fprintf(stderr, "make-logo: the icon's size is 16 to 256 pixels\n");
            return 2;
        }
        if (!write_png(argv[3], draw_icon(int(size)))) {
            std::fprintf(stderr, "make-logo: cannot write %s\n", argv[3]);
            return 1;
        }
        return 0;
    }
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: make-logo LOGO.png ICON.png [ICON.ico]\n"
                             "       make-logo --icon SIZE ICON.png\n");
        return 2;
    }
    for (int i : {1, 2}) {
        if (!write_png(argv[i], i == 1 ? draw_logo() : draw_icon())) {
            std::fprintf(stderr, "make-logo: cannot write %s\n", argv[i]);
            return 1;
        }
    }
    if (argc == 4 && !write_ico(argv[3], draw_icon())) {
        std::fprintf(stderr, "make-logo: cannot write %s\n", argv[3]);
        return 1;
    }
    return 0;
}
