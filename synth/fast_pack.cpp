// The end of a block's road: the fades, the samples packed into the image's format, and the
// copy of the packed frames into the image.
#include "synth/fast_pack.h"
#include "synth/conversions.h"
#include "synth/fast_block.h"
#include "synth/fast_clones.h"
#include "synth/fast_math.h"

#include <cstring>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the image is written little-endian");

namespace {
// The fade gain t = i / frames comes from a product with 1 / frames (within two ulps); frames whose
// faded value lies near a rounding boundary are redone with the quotient.
constexpr double ENVELOPE_TOLERANCE = 1e-8;

// One loop per mode, so that each vectorises to its own few operations.
template <int32_t Mode>
FAST_BODY int32_t envelope_pass(int16_t* s, int32_t n, double base, double inverse) {
    const double* index = FRAME_INDEX.value;
    int32_t unsure = 0;
    for (int32_t j = 0; j < n; ++j) {
        const double y = faded(double(s[j]), (base + index[j]) * inverse, Mode);
        s[j] = fast::q16(y);
        unsure |= int32_t(!fast::rounds_firmly(y, ENVELOPE_TOLERANCE));
    }
    return unsure;
}
FAST_BODY int32_t fade_in_pass_body(int16_t* s, int32_t n, double base, double inverse) {
    return envelope_pass<1>(s, n, base, inverse);
}
FAST_VARIANTS(fade_in_pass, (int16_t * s, int32_t n, double base, double inverse),
              (s, n, base, inverse))
FAST_BODY int32_t fade_out_pass_body(int16_t* s, int32_t n, double base, double inverse) {
    return envelope_pass<2>(s, n, base, inverse);
}
FAST_VARIANTS(fade_out_pass, (int16_t * s, int32_t n, double base, double inverse),
              (s, n, base, inverse))
FAST_BODY int32_t both_fades_pass_body(int16_t* s, int32_t n, double base, double inverse) {
    return envelope_pass<3>(s, n, base, inverse);
}
FAST_VARIANTS(both_fades_pass, (int16_t * s, int32_t n, double base, double inverse),
              (s, n, base, inverse))

FAST_BODY void pack_block_body(const int16_t* s, int32_t n, int32_t bytes_per_sample,
                               int32_t channels, uint8_t* out) {
    if (bytes_per_sample == 1) {
        if (channels == 1) {
            for (int32_t j = 0; j < n; ++j)
                out[j] = uint8_t(s[j] + 128);
        } else if (channels == 2) {
            for (int32_t j = 0; j < n; ++j) {
                const uint16_t pair = uint16_t(uint8_t(s[j] + 128) * 0x101u);
                std::memcpy(out + 2 * j, &pair, 2);
            }
        } else {
            for (int32_t j = 0; j < n; ++j)
                for (int32_t k = 0; k < channels; ++k)
                    *out++ = uint8_t(s[j] + 128);
        }
    } else {
        if (channels == 1) {
            std::memcpy(out, s, size_t(n) * 2);
        } else if (channels == 2) {
            for (int32_t j = 0; j < n; ++j) {
                const uint32_t pair = uint32_t(uint16_t(s[j])) * 0x10001u;
                std::memcpy(out + 4 * j, &pair, 4);
            }
        } else {
            for (int32_t j = 0; j < n; ++j)
                for (int32_t k = 0; k < channels; ++k) {
                    std::memcpy(out, &s[j], 2);
                    out += 2;
                }
        }
    }
}
FAST_VARIANTS(pack_block,
              (const int16_t* s, int32_t n, int32_t bytes_per_sample, int32_t channels,
               uint8_t* out),
              (s, n, bytes_per_sample, channels, out))
} // namespace

void envelope_block(int16_t* s, int32_t n, int64_t first, int64_t frames, int32_t mode) {
    if (mode < 1 || mode > 3) return;
    const double base = double(first);
    const double inverse = 1.0 / double(frames);
    alignas(64) int16_t original[BLOCK];
    std::memcpy(original, s, size_t(n) * sizeof *s);
    const int32_t unsure = mode == 1   ? fade_in_pass(s, n, base, inverse)
                           : mode == 2 ? fade_out_pass(s, n, base, inverse)
                                       : both_fades_pass(s, n, base, inverse);
    if (!unsure) return;
    for (int32_t j = 0; j < n; ++j) {
        const double i = base + double(j);
        if (!fast::rounds_firmly(faded(double(original[j]), i * inverse, mode), ENVELOPE_TOLERANCE))
            s[j] = apply_envelope(original[j], mode, int64_t(i), frames);
    }
}

void write_block(const int16_t* s, int32_t n, int32_t bytes_per_sample, int32_t channels,
                 uint8_t* out) {
    pack_block(s, n, bytes_per_sample, channels, out);
}

// Copies a finished block into the image with streaming stores where the machine has them:
// the image is far larger than the caches and is not read again here, so its lines need not
// be fetched before they are overwritten.  The fence makes the stores visible before the
// block counts as written.
void stream_copy(uint8_t* dst, const uint8_t* src, size_t n) {
#if defined(__SSE2__)
    while (n > 0 && (reinterpret_cast<uintptr_t>(dst) & 15) != 0) {
        *dst++ = *src++;
        --n;
    }
    for (; n >= 64; n -= 64, dst += 64, src += 64) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 16));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 32));
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 48));
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst), a);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 16), b);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 32), c);
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst + 48), d);
    }
    for (; n >= 16; n -= 16, dst += 16, src += 16)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst),
                         _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
    std::memcpy(dst, src, n);
    _mm_sfence();
#else
    std::memcpy(dst, src, n);
#endif
}
