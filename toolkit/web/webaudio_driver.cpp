// The sound driver on Web Audio: a buffer's PCM data becomes an AudioBuffer (a mono sound on
// both channels, at its own level), played through a source node each time (page_library.js).
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

extern "C" {
// page_library.js
int32_t page_audio_open();
NativeHandle page_audio_buffer(int32_t channels, int32_t bits, int32_t rate, const void* data,
                               size_t size);
int32_t page_audio_play(NativeHandle buffer, int32_t loop, int32_t volume);
void page_audio_release(NativeHandle buffer);
void page_audio_close();
int32_t page_audio_playing(NativeHandle buffer);
}

namespace {
const AudioDriver webaudio_driver = {
    .open = [] { return page_audio_open() != 0; },
    .buffer_create =
        [](const PcmFormat& f, const void* data, size_t size) {
            return page_audio_buffer(f.channels, f.bits, f.rate, data, size);
        },
    .play = [](NativeHandle b, bool loop, int32_t volume) {
        return page_audio_play(b, loop ? 1 : 0, volume) != 0;
    },
    .buffer_release = page_audio_release,
    .close = page_audio_close,
    .playing = [](NativeHandle b) { return page_audio_playing(b) != 0; },
};
} // namespace

int32_t sound_init() {
    return sound_service_start(&webaudio_driver);
}
