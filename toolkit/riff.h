// The RIFF chunk walk of a WAVE image held in memory.
#pragma once

#include "toolkit/backend.h"

#include <cstddef>
#include <cstdint>

struct WavePcm {
    PcmFormat format;
    const uint8_t* data; // the PCM bytes inside the image
    size_t size;
};

// Reads a RIFF/WAVE PCM image: "RIFF" at offset 0, the "fmt " chunk first at offset 12, then
// the "data" chunk, found by stepping over any other chunks by their size fields.  The image
// is taken to be as long as its RIFF size says (offset 4, plus 8): no byte beyond that is read,
// and a chunk or a data size that runs past it makes the image unreadable.  The format must be
// plain PCM, 1 or 2 channels of 8 or 16 bits, a rate from 100 to 200000 frames per second and
// a block alignment of channels * bits / 8.  The form type is not looked at.
bool riff_read_wave(const void* image, WavePcm& out);

constexpr int32_t WAVE_MIN_RATE = 100;
constexpr int32_t WAVE_MAX_RATE = 200000;
