// The fades, packing and copying of a block of samples.
#pragma once

#include <cstddef>
#include <cstdint>

// Fades frames first .. first + n - 1 of a tone of `frames` frames in place (mode 1 in, 2 out,
// 3 both; other modes leave the samples as they are).
void envelope_block(int16_t* s, int32_t n, int64_t first, int64_t frames, int32_t mode);
// Packs n samples as frames of `channels` equal samples of `bytes_per_sample` bytes (1: unsigned
// 8-bit, 2: signed 16-bit little-endian).
void write_block(const int16_t* s, int32_t n, int32_t bytes_per_sample, int32_t channels,
                 uint8_t* out);
// Copies n bytes into the image, with stores that bypass the caches where the machine has them.
void stream_copy(uint8_t* dst, const uint8_t* src, size_t n);
// Whether it has them: elsewhere a block is packed straight into the image, not copied.
#if defined(__SSE2__)
constexpr bool STREAMING_STORES = true;
#else
constexpr bool STREAMING_STORES = false;
#endif
