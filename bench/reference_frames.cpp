// The frame writer of the reference build: the per-frame loop itself.
#include "synth/tone.h"

void write_frames(const ToneSetup& setup, uint8_t* data) {
    write_frames_reference(setup, data);
}
