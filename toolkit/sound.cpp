// The sound service: numbered sounds over an audio driver.
#include "toolkit/backend.h"
#include "toolkit/numbers.h"
#include "toolkit/riff.h"
#include "toolkit/toolkit.h"

#include <vector>

namespace {

struct SoundRecord {
    NativeHandle buffer;
};

const AudioDriver* driver = nullptr; // set only while a device is open
bool started = false;
NumberTable<SoundRecord> sounds;

} // namespace

int32_t sound_service_start(const AudioDriver* d) {
    if (started) return driver ? 1 : 0;
    started = true;
    driver = d && d->open() ? d : nullptr;
    return driver ? 1 : 0;
}

intptr_t sound_load_wav_memory(int32_t number, const void* image) {
    if (!driver || !image || number < AUTO_NUMBER) return 0;
    WavePcm wave;
    if (!riff_read_wave(image, wave)) return 0;
    if (wave.size < SOUND_MIN_BUFFER_BYTES || wave.size > SOUND_MAX_BUFFER_BYTES) return 0;
    const NativeHandle buffer = driver->buffer_create(wave.format, wave.data, wave.size);
    if (!buffer) return 0;
    int32_t id;
    if (!number_id_for(number, &id)) {
        driver->buffer_release(buffer);
        return 0;
    }
    // A static number's old sound goes only now that the new one is ready.
    if (number >= 0) sound_free(id);
    sounds.put(id, SoundRecord{buffer});
    return number_create_result(id, buffer);
}

int32_t sound_play(int32_t sound, int32_t flags, int32_t volume) {
    SoundRecord* r = sounds.find(sound);
    if (!r || !driver) return 0;
    return driver->play(r->buffer, (flags & SOUND_PLAY_LOOP) != 0, volume) ? 1 : 0;
}

int32_t sound_playing(int32_t sound) {
    SoundRecord* r = sounds.find(sound);
    return r && driver && driver->playing(r->buffer) ? 1 : 0;
}

int32_t sound_exists(int32_t sound) {
    return sounds.find(sound) ? 1 : 0;
}

void sound_free(int32_t sound) {
    SoundRecord* r = sounds.find(sound);
    if (!r) return;
    const NativeHandle buffer = r->buffer;
    sounds.erase(sound);
    if (driver) driver->buffer_release(buffer);
}

void sound_shutdown() {
    if (!started) return;
    std::vector<int32_t> ids;
    sounds.for_each_id([&](int32_t id) { ids.push_back(id); });
    for (int32_t id : ids)
        sound_free(id);
    if (driver) driver->close();
    driver = nullptr;
    // The service may be started again (tests do).
    started = false;
}
