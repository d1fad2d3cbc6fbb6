// The fast renderer's samples of a block, before the envelope.
#pragma once

#include "synth/tone.h"

#include <cstdint>

// The n samples of the tone's style at full precision (16-bit values) from the frames' phases,
// or for White Noise from the generator's draws; silence for an unknown style.
void fast_samples(const ToneSetup& tone, const float* phase, const int32_t* noise, int32_t n,
                  int16_t* out);
