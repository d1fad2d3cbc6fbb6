// Image readers (PNG over libpng, BMP, icons) and image objects, without a window backend.
#include "test_files.h"
#include "toolkit/image_decode.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// A PNG written by libpng from rows of raw samples in the given colour type and depth.
struct PngLayout {
    int width, height, colour, depth;
    bool interlaced = false;
    std::vector<png_color> palette = {};
    std::vector<uint8_t> trans_alpha = {}; // palette transparency
    int trans_grey = -1;                   // the grey level that is transparent
};

void write_to_vector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

Bytes make_png(const PngLayout& s, const std::vector<Bytes>& rows) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return {};
    }
    png_set_write_fn(png, &out, write_to_vector, nullptr);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colour,
                 s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), int(s.palette.size()));
    if (!s.trans_alpha.empty())
        png_set_tRNS(png, info, s.trans_alpha.data(), int(s.trans_alpha.size()), nullptr);
    png_color_16 grey{};
    grey.gray = png_uint_16(s.trans_grey);
    if (s.trans_grey >= 0) png_set_tRNS(png, info, nullptr, 0, &grey);
    png_write_info(png, info);
    std::vector<png_bytep> pointers;
    for (const Bytes& r : rows)
        pointers.push_back(const_cast<png_bytep>(r.data()));
    png_write_image(png, pointers.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// Pixel (x, y) of a decoded image as {R, G, B, A}; A is 255 without alpha.
std::vector<int> at(const PixelImage& img, int x, int y) {
    const int n = img.alpha ? 4 : 3;
    const uint8_t* p = &img.pixels[(size_t(y) * img.width + x) * n];
    return {p[0], p[1], p[2], img.alpha ? p[3] : 255};
}

// An 8-bit RGB test card: pixel (x, y) = (16x, 16y, x ^ y).
Bytes rgb_card(int w, int h, bool interlaced = false) {
    std::vector<Bytes> rows;
    for (int y = 0; y < h; ++y) {
        Bytes r;
        for (int x = 0; x < w; ++x)
            r.insert(r.end(), {uint8_t(16 * x), uint8_t(16 * y), uint8_t(x ^ y)});
        rows.push_back(r);
    }
    return make_png({w, h, PNG_COLOR_TYPE_RGB, 8, interlaced}, rows);
}

TEST(PngDecode, RgbAndInterlacedGiveTheSamePixels) {
    for (bool interlaced : {false, true}) {
        const Bytes file = rgb_card(11, 9, interlaced);
        PixelImage img;
        ASSERT_TRUE(png_decode(file.data(), file.size(), img)) << interlaced;
        EXPECT_EQ((std::vector{img.width, img.height}), (std::vector{11, 9}));
        EXPECT_FALSE(img.alpha);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 11; ++x)
                ASSERT_EQ(at(img, x, y), (std::vector<int>{16 * x, 16 * y, x ^ y, 255}))
                    << x << "," << y << " interlaced " << interlaced;
    }
}

// Every other layout becomes 8-bit RGB, with alpha where the file has transparency.
TEST(PngDecode, EveryLayoutBecomesEightBitRgbOrRgba) {
    const std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
    struct Case {
        const char* name;
        PngLayout layout;
        Bytes row;
        bool alpha;
        std::vector<std::vector<int>> pixels; // x, then R, G, B, A
    };
    const std::vector<Case> cases = {
        {"2-bit palette",
         {4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, palette},
         {0x1B},
         false,
         {{0, 255, 0, 0, 255}, {3, 9, 8, 7, 255}}},
        {"palette with tRNS",
         {4, 1, PNG_COLOR_TYPE_PALETTE, 2, false, palette, {0, 128}},
         {0x1B},
         true,
         {{0, 255, 0, 0, 0}, {1, 0, 255, 0, 128}, {2, 0, 0, 255, 255}}},
        {"8-bit grey", {2, 1, PNG_COLOR_TYPE_GRAY, 8}, {10, 200}, false, {{1, 200, 200, 200, 255}}},
        {"2-bit grey",
         {4, 1, PNG_COLOR_TYPE_GRAY, 2},
         {0x1B},
         false,
         {{0, 0, 0, 0, 255}, {1, 85, 85, 85, 255}, {3, 255, 255, 255, 255}}},
        {"grey and alpha",
         {1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8},
         {77, 33},
         true,
         {{0, 77, 77, 77, 33}}},
        {"grey with tRNS",
         {2, 1, PNG_COLOR_TYPE_GRAY, 8, false, {}, {}, 10},
         {10, 200},
         true,
         {{0, 10, 10, 10, 0}, {1, 200, 200, 200, 255}}},
        {"16-bit RGBA keeps the high bytes",
         {1, 1, PNG_COLOR_TYPE_RGBA, 16},
         {0x12, 0x34, 0xAB, 0xCD, 0xFF, 0xFF, 0x80, 0x00},
         true,
         {{0, 0x12, 0xAB, 0xFF, 0x80}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = make_png(c.layout, {c.row});
        PixelImage img;
        ASSERT_TRUE(png_decode(file.data(), file.size(), img));
        EXPECT_EQ(img.alpha, c.alpha);
        for (const auto& p : c.pixels)
            EXPECT_EQ(at(img, p[0], 0), (std::vector<int>(p.begin() + 1, p.end()))) << p[0];
    }
}

TEST(PngDecode, DamagedDataGivesNothing) {
    const Bytes good = rgb_card(8, 8);
    PixelImage img;
    // Cut short, and a sound file with a cut-short size: both end inside the data.
    for (size_t size :
         {size_t(0), size_t(7), size_t(8), size_t(33), good.size() / 2, good.size() - 13}) {
        const Bytes cut(good.begin(), good.begin() + size);
        EXPECT_FALSE(png_decode(cut.data(), cut.size(), img)) << size;
        EXPECT_FALSE(png_decode(good.data(), size, img)) << size;
        EXPECT_TRUE(img.pixels.empty());
    }
    // A flipped bit in the image data fails its checksum.
    Bytes bad = good;
    bad[bad.size() - 20] ^= 0x40;
    EXPECT_FALSE(png_decode(bad.data(), bad.size(), img));
    // Not a PNG at all.
    bad = good;
    bad[1] = 'Q';
    EXPECT_FALSE(png_decode(bad.data(), bad.size(), img));
    EXPECT_FALSE(png_decode(nullptr, 100, img));
}

TEST(BmpDecode, ReadsEveryLayoutAndRefusesFilesCutShort) {
    struct Case {
        int width, height, bits;
        uint32_t compression;
        bool top_down;
    };
    for (const Case& c :
         {Case{5, 3, 24, 0, false}, Case{1, 2, 24, 0, false}, Case{3, 2, 24, 0, true},
          Case{2, 2, 32, 0, false}, Case{2, 3, 32, 3, false}, Case{4, 2, 8, 0, false}}) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << ", " << c.bits
                                        << " bits, compression " << c.compression);
        const Bytes file = make_bmp(c.width, c.height, c.bits, c.compression, c.top_down);
        PixelImage img;
        ASSERT_TRUE(bmp_decode(file.data(), file.size(), img));
        EXPECT_EQ((std::vector{img.width, img.height}), (std::vector{c.width, c.height}));
        EXPECT_FALSE(img.alpha);
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const int index = x % 3 == 2 ? 0 : x % 3;
                const std::vector<int> expected =
                    c.bits == 8 ? std::vector<int>{10 + index, index, 0x5A, 255}
                                : std::vector<int>{x, y, 0x5A, 255};
                EXPECT_EQ(at(img, x, y), expected) << x << "," << y;
            }
        for (size_t size : {size_t(10), size_t(54), file.size() - 1})
            EXPECT_FALSE(bmp_decode(file.data(), size, img)) << size;
    }
}

TEST(IcoDecode, ReadsAMaskedIconAndAnEmbeddedPng) {
    // One 2 x 2 24-bit entry: colour rows bottom-up, then an AND mask (top-left transparent).
    Bytes ico(6 + 16, 0);
    put_u16(ico, 2, 1);
    put_u16(ico, 4, 1);
    ico[6] = 2;
    ico[7] = 2;
    Bytes dib(40, 0);
    put_u32(dib, 0, 40);
    put_u32(dib, 4, 2);
    put_u32(dib, 8, 4);
    put_u16(dib, 12, 1);
    put_u16(dib, 14, 24);
    const uint8_t colour[2][8] = {{1, 2, 3, 4, 5, 6, 0, 0}, {7, 8, 9, 10, 11, 12, 0, 0}};
    dib.insert(dib.end(), colour[0], colour[0] + 8); // bottom row
    dib.insert(dib.end(), colour[1], colour[1] + 8); // top row
    const uint8_t mask[8] = {0, 0, 0, 0, 0x80, 0, 0, 0};
    dib.insert(dib.end(), mask, mask + 8);
    put_u32(ico, 6 + 8, uint32_t(dib.size()));
    put_u32(ico, 6 + 12, 22);
    ico.insert(ico.end(), dib.begin(), dib.end());
    PixelImage img;
    ASSERT_TRUE(image_decode(ico.data(), ico.size(), img));
    ASSERT_TRUE(img.alpha);
    EXPECT_EQ(at(img, 0, 0), (std::vector<int>{9, 8, 7, 0}));
    EXPECT_EQ(at(img, 1, 0), (std::vector<int>{12, 11, 10, 255}));
    EXPECT_EQ(at(img, 0, 1), (std::vector<int>{3, 2, 1, 255}));
    EXPECT_FALSE(image_decode(ico.data(), ico.size() - 20, img));

    // Of several entries the one with the most pixels, a width or height of 0 counting 256.
    struct Entry {
        uint8_t width, height;
        Bytes png;
    };
    const std::vector<Entry> entries = {
        {3, 2, rgb_card(3, 2)}, {0, 1, rgb_card(5, 1)}, {4, 2, rgb_card(4, 2)}};
    Bytes icon(6 + 16 * entries.size(), 0);
    put_u16(icon, 2, 1);
    put_u16(icon, 4, uint16_t(entries.size()));
    for (size_t i = 0; i < entries.size(); ++i) {
        icon[6 + 16 * i] = entries[i].width;
        icon[7 + 16 * i] = entries[i].height;
        put_u32(icon, 6 + 16 * i + 8, uint32_t(entries[i].png.size()));
        put_u32(icon, 6 + 16 * i + 12, uint32_t(icon.size()));
        icon.insert(icon.end(), entries[i].png.begin(), entries[i].png.end());
    }
    ASSERT_TRUE(image_decode(icon.data(), icon.size(), img));
    EXPECT_EQ((std::vector{img.width, img.height}), (std::vector{5, 1}));
    icon[7 + 16] = 0; // 256 x 256 beside a 4 x 2 entry that claims 4 x 200
    icon[6 + 32 + 1] = 200;
    ASSERT_TRUE(image_decode(icon.data(), icon.size(), img));
    EXPECT_EQ((std::vector{img.width, img.height}), (std::vector{5, 1}));
    icon[6 + 16] = 1;
    ASSERT_TRUE(image_decode(icon.data(), icon.size(), img));
    EXPECT_EQ((std::vector{img.width, img.height}), (std::vector{4, 2}));
}

// Every file cut short is refused, read only within the bytes it is given (each copy is its
// own exact-size block, so an address sanitizer sees any byte read past the end).  The image
// fuzzer changes bytes as well.
TEST(ImageReaders, FilesCutShortAreRefusedWithinTheirBounds) {
    std::vector<Bytes> files = {rgb_card(6, 5), rgb_card(5, 4, true), make_bmp(3, 3)};
    Bytes ico(6 + 16, 0);
    put_u16(ico, 2, 1);
    put_u16(ico, 4, 1);
    put_u32(ico, 6 + 8, uint32_t(files[0].size()));
    put_u32(ico, 6 + 12, 22);
    ico.insert(ico.end(), files[0].begin(), files[0].end());
    files.push_back(ico);
    PixelImage img;
    for (const Bytes& file : files)
        for (size_t n = 0; n < file.size(); ++n) {
            auto copy = std::make_unique<uint8_t[]>(n ? n : 1);
            std::memcpy(copy.get(), file.data(), n);
            EXPECT_FALSE(image_decode(copy.get(), n, img)) << n;
        }
}

#if defined(__GLIBC__)
// Decoding gives back everything it took, also when it fails half-way (a checksum error).
TEST(ImageReaders, DecodingKeepsNoMemory) {
    const Bytes good = rgb_card(64, 64);
    Bytes bad = good;
    bad[bad.size() - 20] ^= 0x40;
    PixelImage img;
    const auto decode_all = [&] {
        for (int i = 0; i < 100; ++i) {
            EXPECT_TRUE(png_decode(good.data(), good.size(), img));
            EXPECT_FALSE(png_decode(bad.data(), bad.size(), img));
        }
    };
    decode_all();
    const size_t before = mallinfo2().uordblks;
    decode_all();
    EXPECT_LT(mallinfo2().uordblks, before + 64 * 1024);
}
#endif

#if defined(__linux__)
// The image files of tests/fuzz/regressions, each of which once broke a reader (among them a
// 69-byte PNG whose header claims 16384 x 16384 RGBA, and an icon holding it), are refused,
// and refused before a buffer for the pixels they claim is made: each decode runs in a child
// process whose address space may grow by only 256 MiB, so a reader that sizes its buffer
// from the header (1 GiB for the bomb) dies there instead of failing cleanly.
TEST(ImageReaders, RefuseEveryRegressionInputWithinTheirMemory) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(VARNOK_FUZZ_REGRESSIONS)) {
        const std::string ext = entry.path().extension();
        if (ext != ".png" && ext != ".ico" && ext != ".bmp") continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EXIT(
            {
                long pages = 0;
                std::ifstream("/proc/self/statm") >> pages;
                rlimit limit{};
                getrlimit(RLIMIT_AS, &limit);
                limit.rlim_cur =
                    rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(256) << 20);
                if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
                PixelImage img;
                std::_Exit(image_decode(file.data(), file.size(), img) ? 1 : 0);
            },
            ::testing::ExitedWithCode(0), "")
            << entry.path();
    }
    EXPECT_GE(files, 2);
}
#endif

// Image objects follow the numbering rules of every toolkit object.
class ImageObjects : public ::testing::Test {
  protected:
    void TearDown() override { toolkit_shutdown(); }
    const Bytes file = rgb_card(4, 4);
};

TEST_F(ImageObjects, AutoNumbersAreFreshHandles) {
    const intptr_t a = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    const intptr_t b = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    EXPECT_LT(a, -1);
    EXPECT_LT(b, -1);
    EXPECT_NE(a, b);
    EXPECT_NE(image_native_handle(int32_t(a)), 0);
    EXPECT_NE(image_native_handle(int32_t(a)), image_native_handle(int32_t(b)));
    EXPECT_EQ(image_native_handle(0), 0);
    EXPECT_EQ(image_native_handle(-1), 0);
    EXPECT_EQ(image_decode_memory(-7, file.data(), file.size()), 0);
}

TEST_F(ImageObjects, AStaticNumberReturnsTheNativeImageAndIsReplaced) {
    const intptr_t first = image_decode_memory(5, file.data(), file.size());
    EXPECT_NE(first, 0);
    EXPECT_EQ(image_native_handle(5), first);
    const Bytes other = rgb_card(2, 2);
    const intptr_t second = image_decode_memory(5, other.data(), other.size());
    EXPECT_NE(second, 0);
    EXPECT_EQ(image_native_handle(5), second);
    // Data no reader takes makes nothing and leaves the number as it was.
    const Bytes junk(64, 0x42);
    EXPECT_EQ(image_decode_memory(5, junk.data(), junk.size()), 0);
    EXPECT_EQ(image_native_handle(5), second);
    EXPECT_EQ(image_decode_memory(6, junk.data(), junk.size()), 0);
    EXPECT_EQ(image_native_handle(6), 0);
}

TEST_F(ImageObjects, ShutdownFreesEveryImageAndTheHeap) {
    const intptr_t a = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    image_decode_memory(3, file.data(), file.size());
    ASSERT_NE(memory_alloc(100), nullptr);
    toolkit_shutdown();
    EXPECT_EQ(image_native_handle(int32_t(a)), 0);
    EXPECT_EQ(image_native_handle(3), 0);
    // A handle is never given out again.
    const intptr_t c = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    EXPECT_NE(c, a);
}

} // namespace
