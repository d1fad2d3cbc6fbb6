// The sound driver on Web Audio: a buffer's PCM data becomes an AudioBuffer (a mono sound on
// both channels, at its own level), played through a source node each time (page_library.js).
// The samples are turned into the buffer's 32-bit reals here, a piece at a time, and copied in
// whole pieces: a loop in the page's script over every sample of a long tone takes far longer.
// A native handle is a WebSound of ours; the page's own objects are numbers in page_library.js.
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

extern "C" {
// page_library.js
int32_t page_audio_open();
// An AudioBuffer of two channels of frames at rate, silent; 0 when the page refuses it.
NativeHandle page_audio_buffer(int32_t frames, int32_t rate);
// Copies n samples into channel (0 left, 1 right) of the buffer from its frame `first` on.
void page_audio_fill(NativeHandle buffer, int32_t channel, const float* samples, int32_t first,
                     int32_t n);
int32_t page_audio_play(NativeHandle buffer, int32_t loop, int32_t volume);
void page_audio_release(NativeHandle buffer);
void page_audio_close();
int32_t page_audio_playing(NativeHandle buffer);
}

namespace {

// A sound keeps its PCM data until it is first played, when it becomes an AudioBuffer: the
// conversion of a long tone takes a good part of a second, which "COMPILE !" does not wait for.
struct WebSound {
    PcmFormat format;
    std::vector<uint8_t> pcm;
    NativeHandle buffer = 0; // the page's AudioBuffer, once made
};

WebSound* sound_of(NativeHandle handle) {
    return reinterpret_cast<WebSound*>(handle);
}

NativeHandle make_buffer(const PcmFormat& f, const uint8_t* bytes, size_t size) {
    const int32_t frames = int32_t(size / size_t(f.bytes_per_frame));
    const NativeHandle buffer = page_audio_buffer(std::max(frames, 1), f.rate);
    if (!buffer) return 0;
    constexpr int32_t PIECE = 16384;
    static float left[PIECE], right[PIECE];
    for (int32_t first = 0; first < frames; first += PIECE) {
        const int32_t n = std::min(PIECE, frames - first);
        for (int32_t i = 0; i < n; ++i) {
            const uint8_t* frame = bytes + size_t(first + i) * size_t(f.bytes_per_frame);
            for (int32_t c = 0; c < f.channels; ++c) {
                float v;
                if (f.bits == 8) {
                    v = float(int32_t(frame[c]) - 128) / 128.0f;
                } else {
                    int16_t s;
                    std::memcpy(&s, frame + 2 * c, 2);
                    v = float(s) / 32768.0f;
                }
                (c == 0 ? left : right)[i] = v;
            }
        }
        page_audio_fill(buffer, 0, left, first, n);
        page_audio_fill(buffer, 1, f.channels == 1 ? left : right, first, n);
    }
    return buffer;
}

NativeHandle buffer_create(const PcmFormat& f, const void* data, size_t size) {
    try {
        const auto* bytes = static_cast<const uint8_t*>(data);
        return reinterpret_cast<NativeHandle>(
            new WebSound{f, std::vector<uint8_t>(bytes, bytes + size)});
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

bool play(NativeHandle handle, bool loop, int32_t volume) {
    WebSound* sound = sound_of(handle);
    if (!sound->buffer) {
        sound->buffer = make_buffer(sound->format, sound->pcm.data(), sound->pcm.size());
        if (!sound->buffer) return false;
        std::vector<uint8_t>().swap(sound->pcm);
    }
    return page_audio_play(sound->buffer, loop ? 1 : 0, volume) != 0;
}

void buffer_release(NativeHandle handle) {
    WebSound* sound = sound_of(handle);
    if (sound->buffer) page_audio_release(sound->buffer);
    delete sound;
}

const AudioDriver webaudio_driver = {
    .open = [] { return page_audio_open() != 0; },
    .buffer_create = buffer_create,
    .play = play,
    .buffer_release = buffer_release,
    .close = page_audio_close,
    .playing =
        [](NativeHandle h) {
            return sound_of(h)->buffer && page_audio_playing(sound_of(h)->buffer) != 0;
        },
};
} // namespace

int32_t sound_init() {
    return sound_service_start(&webaudio_driver);
}
