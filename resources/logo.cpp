// No logo is embedded yet: the accessors answer an empty resource, which the image decoder
// turns into no image.
#include "resources/logo.h"

const unsigned char* logo_png_data() {
    return nullptr;
}
size_t logo_png_size() {
    return 0;
}
