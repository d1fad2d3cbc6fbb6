// The process-wide sound format: sample rate, bytes per sample and channel count.
#pragma once

#include <cstdint>

struct SoundFormat {
    int32_t sample_rate;
    int32_t bytes_per_sample;
    int32_t channel_count;
};

constexpr int32_t FORMAT_QUERY_RATE = -1;
constexpr int32_t FORMAT_QUERY_BYTES = -2;
constexpr int32_t FORMAT_QUERY_CHANNELS = -3;

// A rate >= 0 snaps all three values to the allowed ones (5512/11025/22050/44100 Hz, 1 or 2
// bytes, 1 or 2 channels) and returns 1.  A negative first argument is a query (see the
// FORMAT_QUERY_* codes) that changes nothing; other negative codes answer 0.
int32_t set_sound_format(int32_t rate_or_query, int32_t bytes, int32_t channels);
