// The pictures embedded in both programs, byte for byte the same.
#pragma once

#include <cstddef>

// The bytes of the PNG file.
const unsigned char* logo_png_data();
size_t logo_png_size();

// The 32 x 32 program icon every window shows (a PNG file held in the program).
const unsigned char* program_icon_png_data();
size_t program_icon_png_size();
