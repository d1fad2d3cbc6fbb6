// WAV images through the sound service.  The loader is given no length, so each input is
// handed over in a block of exactly the length its RIFF header states, where the address
// sanitizer sees any read past it.  Built twice: over a driver that copies every byte of the
// data the service finds and plays nothing (fuzz_wav_service), and over the real OpenAL
// driver on OpenAL Soft's null device, which mixes but outputs nothing (fuzz_wav_openal).
#include "toolkit/backend.h"
#include "toolkit/le_bytes.h"
#include "toolkit/toolkit.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

using Copy = std::vector<uint8_t>;
[[maybe_unused]] const AudioDriver copier = {
    .open = [] { return true; },
    .buffer_create = [](const PcmFormat& f, const void* data, size_t size) -> NativeHandle {
        // The service checks the layout before any driver sees it.
        if ((f.channels != 1 && f.channels != 2) || (f.bits != 8 && f.bits != 16) ||
            f.bytes_per_frame != f.channels * f.bits / 8 || size < SOUND_MIN_BUFFER_BYTES)
            std::abort();
        const auto* p = static_cast<const uint8_t*>(data);
        return reinterpret_cast<NativeHandle>(new Copy(p, p + size));
    },
    .play = [](NativeHandle, bool, int32_t) { return true; },
    .buffer_release = [](NativeHandle buffer) { delete reinterpret_cast<Copy*>(buffer); },
    .close = [] {},
    .playing = [](NativeHandle) { return false; },
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
#if defined(FUZZ_OPENAL)
    setenv("ALSOFT_CONF", "/dev/null", 1);
    setenv("ALSOFT_DRIVERS", "null", 1);
    if (!sound_init()) std::abort();
#else
    if (!sound_service_start(&copier)) std::abort();
#endif
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const size_t length = size < 8 ? SIZE_MAX : 8 + size_t(le_u32(data + 4));
    if (length > size) return -1; // shorter than its RIFF size: not kept in the corpus
    const auto image = std::make_unique<uint8_t[]>(length);
    std::memcpy(image.get(), data, length);
    if (const intptr_t sound = sound_load_wav_memory(AUTO_NUMBER, image.get())) {
        sound_play(int32_t(sound), 0, -1);
        sound_free(int32_t(sound));
    }
    return 0;
}
