#include "synth/sound_format.h"

namespace {
SoundFormat format = {44100, 2, 1};
}

int32_t set_sound_format(int32_t rate_or_query, int32_t bytes, int32_t channels) {
    if (rate_or_query < 0) {
        switch (rate_or_query) {
        case FORMAT_QUERY_RATE:
            return format.sample_rate;
        case FORMAT_QUERY_BYTES:
            return format.bytes_per_sample;
        case FORMAT_QUERY_CHANNELS:
            return format.channel_count;
        default:
            return 0;
        }
    }
    format.sample_rate = rate_or_query <= 5512    ? 5512
                         : rate_or_query <= 11025 ? 11025
                         : rate_or_query <= 22050 ? 22050
                                                  : 44100;
    format.bytes_per_sample = bytes <= 1 ? 1 : 2;
    format.channel_count = channels <= 1 ? 1 : 2;
    return 1;
}
