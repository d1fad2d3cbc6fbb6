// Little-endian fields of the file formats the toolkit reads (RIFF/WAVE, BMP, icons).
#pragma once

#include <cstdint>

inline uint32_t le_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t le_u16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
