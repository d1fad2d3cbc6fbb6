#include "resources/embedded.h"

extern const unsigned char embedded_logo_png[];
extern const size_t embedded_logo_png_size;
extern const unsigned char embedded_icon_png[];
extern const size_t embedded_icon_png_size;

const unsigned char* logo_png_data() {
    return embedded_logo_png;
}
size_t logo_png_size() {
    return embedded_logo_png_size;
}

const unsigned char* program_icon_png_data() {
    return embedded_icon_png;
}
size_t program_icon_png_size() {
    return embedded_icon_png_size;
}
