// The one WAV image: a 44-byte RIFF/WAVE header, PCM data and, when the data length is odd, a
// pad byte, in one block from the toolkit heap.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/le_bytes.h"

constexpr float MIN_DURATION_SECONDS = 0.1f;
// The duration an image is made for: at least the shortest (NaN counts as too short).
inline float image_duration(float duration) {
    return duration >= MIN_DURATION_SECONDS ? duration : MIN_DURATION_SECONDS;
}
constexpr int32_t IMAGE_QUERY_ADDRESS = -1;
constexpr size_t WAV_HEADER_SIZE = 44;

// Header field offsets.
constexpr size_t WAV_CHANNELS_OFFSET = 22;
constexpr size_t WAV_RATE_OFFSET = 24;
constexpr size_t WAV_BITS_OFFSET = 34;
constexpr size_t WAV_DATA_SIZE_OFFSET = 40;

// A duration >= 0 (raised to MIN_DURATION_SECONDS when below it) frees the old image and
// prepares a new, silent one in the current sound format; returns its address or nullptr when
// it could not be allocated.  A negative argument is a query: rounded to a whole number, -1
// answers the current image (nullptr if none) and anything else nullptr.
uint8_t* prepare_wav_image(float duration_or_query);

// What prepare_wav_image(duration) would make, without making it: the header, written to the
// template as prepare_wav_image does, and the size of the block; false when no block of that
// size can be described (a duration that is negative or NaN counts as the minimum).
bool measure_wav_image(float duration, size_t* block_size);

// The size in bytes of the current image's block (header, data and pad byte), 0 if none.
size_t wav_image_size();

// The header of the last image prepared (all variable fields zero before the first).
const uint8_t* wav_header_template();
