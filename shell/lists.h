// The fixed entries of the lists that both programs share, each beside the number it stands
// for when "COMPILE !" reads the list.
#pragma once

#include <cstdint>
#include <span>

struct ListEntry {
    const char* text;
    int32_t value;
};

inline constexpr ListEntry CHANNEL_ENTRIES[] = {{"1", 1}, {"2", 2}};
inline constexpr ListEntry RATE_ENTRIES[] = {
    {"5512", 5512}, {"11025", 11025}, {"22050", 22050}, {"44100", 44100}};
// Bytes per sample for 8-bit and 16-bit samples.
inline constexpr ListEntry BITS_ENTRIES[] = {{"8", 1}, {"16", 2}};
inline constexpr ListEntry AMPLITUDE_ENTRIES[] = {{"0", 0},   {"5", 5},   {"10", 10}, {"15", 15},
                                                  {"20", 20}, {"25", 25}, {"30", 30}, {"35", 35},
                                                  {"40", 40}, {"45", 45}, {"50", 50}, {"60", 60},
                                                  {"70", 70}, {"80", 80}, {"90", 90}, {"100", 100}};
inline constexpr ListEntry DURATION_ENTRIES[] = {
    {"1", 1},   {"2", 2},   {"4", 4},   {"8", 8},     {"12", 12},   {"16", 16},
    {"24", 24}, {"32", 32}, {"64", 64}, {"128", 128}, {"256", 256}, {"512", 512}};
inline constexpr ListEntry SWITCH_ENTRIES[] = {{"OFF", 0}, {"ON", 1}};

// The first entry of the sweep list, before the frequencies: no sweep.
inline constexpr ListEntry SWEEP_OFF_ENTRY = {"OFF", 0};

inline constexpr int32_t DEFAULT_CHANNELS_POSITION = 0;  // "1"
inline constexpr int32_t DEFAULT_RATE_POSITION = 3;      // "44100"
inline constexpr int32_t DEFAULT_BITS_POSITION = 1;      // "16"
inline constexpr int32_t DEFAULT_STYLE_POSITION = 0;     // "Sine"
inline constexpr int32_t DEFAULT_AMPLITUDE_POSITION = 5; // "25"
inline constexpr int32_t DEFAULT_DURATION_POSITION = 0;  // "1"
inline constexpr int32_t DEFAULT_SWEEP_POSITION = 0;     // "OFF"
inline constexpr int32_t DEFAULT_FADE_POSITION = 0;      // "OFF"
