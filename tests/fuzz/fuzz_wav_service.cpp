// WAV images through the sound service over a driver that copies what it is handed (so the
// sanitizer checks every byte of the data the service finds) and plays nothing.
#include "riff_input.h"
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <cstdlib>
#include <vector>

namespace {

struct Buffer {
    std::vector<uint8_t> pcm;
};

bool open() {
    return true;
}
NativeHandle buffer_create(const PcmFormat& f, const void* data, size_t size) {
    // The service checks the layout before any driver sees it.
    if ((f.channels != 1 && f.channels != 2) || (f.bits != 8 && f.bits != 16) ||
        f.bytes_per_frame != f.channels * f.bits / 8 || size < SOUND_MIN_BUFFER_BYTES)
        std::abort();
    const auto* p = static_cast<const uint8_t*>(data);
    return reinterpret_cast<NativeHandle>(new Buffer{{p, p + size}});
}
bool play(NativeHandle, bool, int32_t) {
    return true;
}
void buffer_release(NativeHandle buffer) {
    delete reinterpret_cast<Buffer*>(buffer);
}
void close() {}
bool playing(NativeHandle) {
    return false;
}

const AudioDriver recorder = {open, buffer_create, play, buffer_release, close, playing};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!sound_service_start(&recorder)) std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return load_and_play(data, size);
}
