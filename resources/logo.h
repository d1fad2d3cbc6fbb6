// The embedded 470 x 330 logo picture (a PNG file held in the program).
#pragma once

#include <cstddef>

// The bytes of the PNG file.
const unsigned char* logo_png_data();
size_t logo_png_size();
