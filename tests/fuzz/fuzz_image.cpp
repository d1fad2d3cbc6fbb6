// Image files (PNG, BMP, icons) through the toolkit's image objects, without a window backend.
#include "toolkit/toolkit.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Always the same number: an image that decodes replaces the one before.
    image_decode_memory(1, data, size);
    return 0;
}
