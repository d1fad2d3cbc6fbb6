// Image readers (PNG over libpng, BMP, icons) and image objects, without a window backend.
#include "test_files.h"
#include "toolkit/image_decode.h"
#include "toolkit/toolkit.h"

#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <tuple>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__linux__)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

void write_to_vector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

// A PNG written by libpng from raw samples, row after row.  A palette image has four colours:
// (10, 0, 0), (0, 20, 0), (0, 0, 30) and (9, 8, 7); trns gives the palette's alphas, or for grey
// the one level that is transparent.
Bytes make_png(int width, int height, int colour, int depth, Bytes samples, const Bytes& trns = {},
               int interlace = PNG_INTERLACE_NONE) {
    static const png_color palette[4] = {{10, 0, 0}, {0, 20, 0}, {0, 0, 30}, {9, 8, 7}};
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, write_to_vector, nullptr);
    png_set_IHDR(png, info, width, height, depth, colour, interlace, 0, 0); // default compression
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(png, info, palette, 4);
    const png_color_16 grey{0, 0, 0, 0, png_uint_16(trns.empty() ? 0 : trns[0])};
    if (!trns.empty()) png_set_tRNS(png, info, trns.data(), int(trns.size()), &grey);
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y)
        rows.push_back(samples.data() + samples.size() / height * y);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// 8-bit RGB samples of a w x h test card: pixel (x, y) = (16x, 16y, x ^ y).
Bytes card(int w, int h) {
    Bytes b;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            b.insert(b.end(), {uint8_t(16 * x), uint8_t(16 * y), uint8_t(x ^ y)});
    return b;
}
Bytes png_card(int w, int h, int interlace = PNG_INTERLACE_NONE) {
    return make_png(w, h, PNG_COLOR_TYPE_RGB, 8, card(w, h), {}, interlace);
}

// An icon file of the given images (PNG files, or bitmap headers with colour and mask), each
// directory entry claiming 256 x 256 pixels.
Bytes make_ico(const std::vector<Bytes>& images) {
    Bytes ico(6 + 16 * images.size(), 0);
    put_u32(ico, 2, 1 | uint32_t(images.size()) << 16); // an icon, then the number of images
    for (size_t i = 0; i < images.size(); ++i) {
        put_u32(ico, 14 + 16 * i, uint32_t(images[i].size()));
        put_u32(ico, 18 + 16 * i, uint32_t(ico.size()));
        ico.insert(ico.end(), images[i].begin(), images[i].end());
    }
    return ico;
}

// Every layout, interlaced or not, becomes 8-bit RGB, with alpha where the file has
// transparency (an alpha channel or tRNS); 16-bit samples keep their high bytes.
TEST(PngDecode, EveryLayoutBecomesEightBitRgbOrRgba) {
    struct Case {
        const char* name;
        int width, colour, depth;
        Bytes samples, trns, pixels;
    };
    const int PAL = PNG_COLOR_TYPE_PALETTE, GREY = PNG_COLOR_TYPE_GRAY;
    const Case cases[] = {
        {"RGB", 11, PNG_COLOR_TYPE_RGB, 8, card(11, 9), {}, card(11, 9)},
        {"palette", 4, PAL, 2, {0x1B}, {}, {10, 0, 0, 0, 20, 0, 0, 0, 30, 9, 8, 7}},
        {"palette tRNS", 3, PAL, 2, {0x1B}, {0, 128}, {10, 0, 0, 0, 0, 20, 0, 128, 0, 0, 30, 255}},
        {"grey", 2, GREY, 8, {10, 200}, {}, {10, 10, 10, 200, 200, 200}},
        {"grey 2", 4, GREY, 2, {0x1B}, {}, {0, 0, 0, 85, 85, 85, 170, 170, 170, 255, 255, 255}},
        {"grey alpha", 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {77, 33}, {}, {77, 77, 77, 33}},
        {"grey tRNS", 2, GREY, 8, {10, 200}, {10}, {10, 10, 10, 0, 200, 200, 200, 255}},
        {"RGBA 16", 1, PNG_COLOR_TYPE_RGBA, 16, {1, 255, 3, 254, 5, 200, 7, 128}, {}, {1, 3, 5, 7}},
    };
    PixelImage img;
    for (const auto& [name, width, colour, depth, samples, trns, pixels] : cases)
        for (int interlace : {PNG_INTERLACE_NONE, PNG_INTERLACE_ADAM7}) {
            SCOPED_TRACE(testing::Message() << name << ", interlace " << interlace);
            const bool alpha = colour & PNG_COLOR_MASK_ALPHA || !trns.empty();
            const int height = int(pixels.size()) / width / (alpha ? 4 : 3);
            const Bytes file = make_png(width, height, colour, depth, samples, trns, interlace);
            ASSERT_TRUE(png_decode(file.data(), file.size(), img));
            EXPECT_EQ((std::vector{img.width, img.height, int(img.alpha)}),
                      (std::vector{width, height, int(alpha)}));
            EXPECT_EQ(img.pixels, pixels);
        }
}

// 24- and 32-bit (also BI_BITFIELDS), 1 pixel wide, top-down and 8-bit palette bitmaps read
// as make_bmp draws them.
TEST(BmpDecode, ReadsEveryLayout) {
    using Layout = std::tuple<int, int, int, uint32_t, bool>; // w, h, bits, compression, top-down
    for (const auto& [width, height, bits, compression, top_down] :
         {Layout{5, 3, 24, 0, false}, Layout{1, 2, 24, 0, false}, Layout{3, 2, 24, 0, true},
          Layout{2, 2, 32, 0, false}, Layout{2, 3, 32, 3, false}, Layout{4, 2, 8, 0, false}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height << ", " << bits << " bits");
        const Bytes file = make_bmp(width, height, bits, compression, top_down);
        PixelImage img;
        ASSERT_TRUE(bmp_decode(file.data(), file.size(), img));
        EXPECT_EQ((std::vector{img.width, img.height, int(img.alpha)}),
                  (std::vector{width, height, 0}));
        Bytes expected;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const int i = x % 3 == 2 ? 0 : x % 3, pal = bits == 8;
                expected.insert(expected.end(),
                                {uint8_t(pal ? 10 + i : x), uint8_t(pal ? i : y), 0x5A});
            }
        EXPECT_EQ(img.pixels, expected);
    }
}

// A 2 x 2 24-bit entry (its header counts the height twice): the two lower rows of a 2 x 4
// bitmap as its colour, then an AND mask that makes the top-left pixel transparent.  Of several
// entries the one with the most pixels is read, the first of equals, a width or height of 0
// counting 256.
TEST(IcoDecode, ReadsAMaskedEntryAndTheLargestOfSeveral) {
    const Bytes bmp = make_bmp(2, 4);
    Bytes dib(bmp.begin() + 14, bmp.end() - 16);
    dib.insert(dib.end(), {0, 0, 0, 0, 0x80, 0, 0, 0});
    const Bytes masked = make_ico({dib});
    PixelImage img;
    ASSERT_TRUE(image_decode(masked.data(), masked.size(), img));
    EXPECT_TRUE(img.alpha);
    EXPECT_EQ(img.pixels,
              (Bytes{0, 2, 0x5A, 0, 1, 2, 0x5A, 255, 0, 3, 0x5A, 255, 1, 3, 0x5A, 255}));

    Bytes ico = make_ico({png_card(3, 2), png_card(5, 1), png_card(4, 2)});
    // The width and height each entry claims, then the width of the entry read.
    const uint8_t cases[][7] = {{3, 2, 0, 1, 4, 2, 5},
                                {3, 2, 0, 0, 4, 200, 5},
                                {3, 2, 1, 0, 4, 200, 4},
                                {4, 2, 4, 2, 4, 2, 3}};
    for (const auto& c : cases) {
        for (size_t i = 0; i < 6; ++i)
            ico[6 + 16 * (i / 2) + i % 2] = c[i];
        ASSERT_TRUE(image_decode(ico.data(), ico.size(), img));
        EXPECT_EQ(img.width, c[6]);
    }
}

// Every file cut short or damaged (a flipped bit failing a checksum, a wrong signature) is
// refused, leaves no pixels, and is read only within the bytes it is given: each copy is its
// own exact-size block, so an address sanitizer sees any byte read past the end.  The image
// fuzzer changes bytes as well.  Decoding gives back all the memory it took, also when it
// fails half-way.
TEST(ImageReaders, RefuseFilesCutShortOrDamagedCleanly) {
    const Bytes png = png_card(6, 5), big = png_card(64, 64);
    Bytes checksum = big, signature = png;
    checksum[big.size() - 20] ^= 0x40;
    signature[1] = 'Q';
    PixelImage img;
    const auto refused = [&](const Bytes& file, size_t n) {
        auto copy = std::make_unique<uint8_t[]>(n ? n : 1);
        std::memcpy(copy.get(), file.data(), n);
        return !image_decode(copy.get(), n, img) && img.pixels.empty();
    };
    for (const Bytes& file :
         {png, png_card(5, 4, PNG_INTERLACE_ADAM7), make_bmp(3, 3), make_ico({png})})
        for (size_t n = 0; n < file.size(); ++n)
            EXPECT_TRUE(refused(file, n)) << n;
    for (const Bytes& file : {checksum, signature})
        EXPECT_TRUE(refused(file, file.size()));
    EXPECT_FALSE(png_decode(nullptr, 100, img));
#if defined(__GLIBC__)
    size_t used[2] = {};
    for (size_t& u : used) {
        for (int i = 0; i < 100; ++i) {
            EXPECT_TRUE(png_decode(big.data(), big.size(), img));
            EXPECT_TRUE(refused(checksum, checksum.size()));
        }
        u = mallinfo2().uordblks;
    }
    EXPECT_LT(used[1], used[0] + 64 * 1024);
#endif
}

#if defined(__linux__)
// The image files of tests/fuzz/regressions, each of which once broke a reader (among them a
// 69-byte PNG whose header claims 16384 x 16384 RGBA, and an icon holding it), are refused,
// and refused before a buffer for the pixels they claim is made: each decode runs in a child
// process whose address space may grow by only 256 MiB, so a reader that sizes its buffer
// from the header (1 GiB for the bomb) dies there instead of failing cleanly.
TEST(ImageReaders, RefuseEveryRegressionInputWithinTheirMemory) {
    int files = 0;
    const auto decode_within_256_mib = [](const Bytes& file) {
        long pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        const rlim_t most = rlim_t(pages) * sysconf(_SC_PAGESIZE) + (rlim_t(256) << 20);
        const rlimit limit{most, most};
        if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(2);
        PixelImage img;
        std::_Exit(image_decode(file.data(), file.size(), img) ? 1 : 0);
    };
    for (const auto& entry : std::filesystem::directory_iterator(VARNOK_FUZZ_REGRESSIONS)) {
        const auto ext = entry.path().extension();
        if (ext != ".png" && ext != ".ico" && ext != ".bmp") continue;
        ++files;
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EXIT(decode_within_256_mib(file), ::testing::ExitedWithCode(0), "") << entry.path();
    }
    EXPECT_GE(files, 2);
}
#endif

// Image objects follow the numbering rules of every toolkit object: AUTO_NUMBER gives a fresh
// handle of a native image; a static number gives the native image itself and replaces the
// one it held; data no reader takes, or a number no caller may choose, makes nothing and
// leaves the number as it was; shutdown frees every image and the heap, and a handle is never
// given out again.
TEST(ImageObjects, FollowTheNumberingRules) {
    const Bytes file = png_card(4, 4), other = png_card(2, 2), junk(64, 0x42);
    const intptr_t a = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    const intptr_t b = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    EXPECT_TRUE(a < -1 && b < -1 && a != b) << a << " " << b;
    EXPECT_NE(image_native_handle(int32_t(a)), 0);
    EXPECT_NE(image_native_handle(int32_t(a)), image_native_handle(int32_t(b)));
    using Step = std::tuple<int32_t, const Bytes*, bool>; // number, data, whether made
    std::map<int32_t, intptr_t> held; // the native image each number should give
    for (const auto& [number, data, made] :
         {Step{5, &file, true}, Step{5, &other, true}, Step{5, &junk, false}, Step{6, &junk, false},
          Step{0, &junk, false}, Step{-7, &file, false}, Step{AUTO_NUMBER, &junk, false}}) {
        const intptr_t native = image_decode_memory(number, data->data(), data->size());
        EXPECT_EQ(native != 0, made) << number;
        if (native) held[number] = native;
        EXPECT_EQ(image_native_handle(number), held[number]) << number;
    }
    ASSERT_NE(memory_alloc(100), nullptr);
    toolkit_shutdown();
    EXPECT_EQ(image_native_handle(int32_t(a)), 0);
    EXPECT_EQ(image_native_handle(5), 0);
    const intptr_t c = image_decode_memory(AUTO_NUMBER, file.data(), file.size());
    EXPECT_TRUE(c != a && c != b) << c;
    toolkit_shutdown();
}

} // namespace
