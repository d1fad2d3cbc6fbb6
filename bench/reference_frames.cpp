// The frame writer of varnok-render-reference: the per-frame loop, into one buffer.
#include "synth/tone.h"

#include <vector>

void write_frames(const ToneSetup& setup, uint8_t* data) {
    write_frames_reference(setup, data);
}

bool stream_frames(const ToneSetup& setup, FrameWriter write, void* context) {
    std::vector<uint8_t> data(size_t(setup.data_size));
    write_frames_reference(setup, data.data());
    return write(context, data.data(), data.size());
}
