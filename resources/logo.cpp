#include "resources/logo.h"

extern const unsigned char embedded_logo_png[];
extern const size_t embedded_logo_png_size;

const unsigned char* logo_png_data() { return embedded_logo_png; }
size_t logo_png_size() { return embedded_logo_png_size; }
