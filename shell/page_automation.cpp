// What a page's automation interface reads (window.varnok.image()): the current WAV image, in
// the web build.
#include "synth/wav_image.h"

#include <cstddef>
#include <cstdint>

extern "C" {
const uint8_t* varnok_image_address() {
    return prepare_wav_image(float(IMAGE_QUERY_ADDRESS));
}
size_t varnok_image_size() {
    return wav_image_size();
}
}
