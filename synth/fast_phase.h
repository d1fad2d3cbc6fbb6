// The phase of a steady tone (no sweep) over many frames at once, bit for bit the chain
// phase = phase + dphi, less 2 pi once it passes 2 pi, that the reference takes one frame at
// a time.
#pragma once

#include <cstdint>

// Advances phase over n frames, storing the phase of each frame (before its step) in out
// when out is not null.  The cost grows with the number of binade runs, not frames.
void steady_phases(float& phase, float dphi, float* out, int64_t n);
