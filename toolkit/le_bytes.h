// Little-endian fields of the file formats the program reads and writes (RIFF/WAVE, BMP,
// icons).
#pragma once

#include <cstdint>

inline uint32_t le_u32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t le_u16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline int16_t le_i16(const uint8_t* p) {
    return int16_t(le_u16(p));
}
inline void le_write_u32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void le_write_u16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
