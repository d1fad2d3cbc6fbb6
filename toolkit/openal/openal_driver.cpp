// The audio driver on OpenAL Soft: one buffer and one source per sound.
//
// Every sound plays straight to the speakers, as a level the samples themselves give: no
// distance, no panning, no head model and no output limiter.  A mono sound is handed over as
// stereo with the same samples on both channels and played with direct channels, because
// OpenAL pans a mono source to the centre with a constant-power law, which takes 3 dB off
// each speaker.
#include "toolkit/backend.h"
#include "toolkit/toolkit.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

ALCdevice* device = nullptr;
ALCcontext* context = nullptr;
bool direct_channels = false;

// The rate the device mixes at, whatever the sounds' own rates.
constexpr ALCint OUTPUT_RATE = 44100;

struct Sound {
    ALuint source = 0;
    ALuint buffer = 0;
};

void close_device() {
    alcMakeContextCurrent(nullptr);
    if (context) alcDestroyContext(context);
    if (device) alcCloseDevice(device);
    context = nullptr;
    device = nullptr;
}

bool open_device() {
    device = alcOpenDevice(nullptr);
    if (!device) return false;
    std::vector<ALCint> attributes = {ALC_FREQUENCY, OUTPUT_RATE};
    if (alcIsExtensionPresent(device, "ALC_SOFT_HRTF")) {
        attributes.push_back(ALC_HRTF_SOFT);
        attributes.push_back(ALC_FALSE);
    }
    if (alcIsExtensionPresent(device, "ALC_SOFT_output_limiter")) {
        attributes.push_back(ALC_OUTPUT_LIMITER_SOFT);
        attributes.push_back(ALC_FALSE);
    }
    attributes.push_back(0);
    context = alcCreateContext(device, attributes.data());
    if (!context || !alcMakeContextCurrent(context)) {
        close_device();
        return false;
    }
    direct_channels = alIsExtensionPresent("AL_SOFT_direct_channels");
    alListener3f(AL_POSITION, 0.0f, 0.0f, 0.0f);
    alListenerf(AL_GAIN, 1.0f);
    alGetError();
    return true;
}

ALenum al_format(const PcmFormat& f) {
    if (f.channels == 2) return f.bits == 8 ? AL_FORMAT_STEREO8 : AL_FORMAT_STEREO16;
    return f.bits == 8 ? AL_FORMAT_MONO8 : AL_FORMAT_MONO16;
}

NativeHandle buffer_create(const PcmFormat& format, const void* data, size_t size) {
    if (!context) return 0;
    // OpenAL takes whole frames only.
    size -= size % size_t(format.bytes_per_frame);
    if (size == 0) return 0;
    PcmFormat stereo = format;
    std::vector<uint8_t> doubled;
    if (format.channels == 1 && direct_channels) {
        const size_t sample = size_t(format.bits / 8);
        doubled.resize(size * 2);
        const auto* src = static_cast<const uint8_t*>(data);
        for (size_t i = 0, o = 0; i < size; i += sample, o += 2 * sample) {
            std::memcpy(&doubled[o], src + i, sample);
            std::memcpy(&doubled[o + sample], src + i, sample);
        }
        stereo.channels = 2;
        stereo.bytes_per_frame *= 2;
        data = doubled.data();
        size = doubled.size();
    }

    alGetError();
    auto* sound = new Sound;
    alGenBuffers(1, &sound->buffer);
    if (alGetError() != AL_NO_ERROR) {
        delete sound;
        return 0;
    }
    alBufferData(sound->buffer, al_format(stereo), data, ALsizei(size), stereo.rate);
    alGenSources(1, &sound->source);
    if (alGetError() != AL_NO_ERROR) {
        if (alIsSource(sound->source)) alDeleteSources(1, &sound->source);
        alDeleteBuffers(1, &sound->buffer);
        delete sound;
        return 0;
    }
    // At the listener, never attenuated or turned.
    alSourcei(sound->source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSource3f(sound->source, AL_POSITION, 0.0f, 0.0f, 0.0f);
    alSourcef(sound->source, AL_ROLLOFF_FACTOR, 0.0f);
    alSourcef(sound->source, AL_GAIN, 1.0f);
    if (direct_channels) alSourcei(sound->source, AL_DIRECT_CHANNELS_SOFT, AL_TRUE);
    alSourcei(sound->source, AL_BUFFER, ALint(sound->buffer));
    if (alGetError() != AL_NO_ERROR) {
        alDeleteSources(1, &sound->source);
        alDeleteBuffers(1, &sound->buffer);
        delete sound;
        return 0;
    }
    return reinterpret_cast<NativeHandle>(sound);
}

bool play(NativeHandle handle, bool loop, int32_t volume) {
    auto* sound = reinterpret_cast<Sound*>(handle);
    alGetError();
    alSourceStop(sound->source);
    alSourceRewind(sound->source);
    alSourcei(sound->source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
    if (volume != -1) {
        // Hundredths of a decibel below full level.
        const int32_t v = std::clamp(volume, -10000, 0);
        alSourcef(sound->source, AL_GAIN, v == -10000 ? 0.0f : float(std::pow(10.0, v / 2000.0)));
    }
    alSourcePlay(sound->source);
    return alGetError() == AL_NO_ERROR;
}

void buffer_release(NativeHandle handle) {
    auto* sound = reinterpret_cast<Sound*>(handle);
    alSourceStop(sound->source);
    alSourcei(sound->source, AL_BUFFER, 0);
    alDeleteSources(1, &sound->source);
    alDeleteBuffers(1, &sound->buffer);
    alGetError();
    delete sound;
}

bool playing(NativeHandle handle) {
    ALint state = AL_STOPPED;
    alGetSourcei(reinterpret_cast<Sound*>(handle)->source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING;
}

const AudioDriver openal_driver = {
    .open = open_device,
    .buffer_create = buffer_create,
    .play = play,
    .buffer_release = buffer_release,
    .close = close_device,
    .playing = playing,
};

} // namespace

int32_t sound_init() {
    return sound_service_start(&openal_driver);
}
