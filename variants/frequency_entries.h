// The full frequency list of the current release.  The earlier release shows the same entries
// without the first five.
#pragma once

#include "variants/variant_profile.h"

inline constexpr FrequencyEntry FULL_FREQUENCY_ENTRIES[] = {
    {"8", 8},       {"10", 10},       {"12.5", 12},     {"16", 16},       {"20", 20},
    {"25", 25},     {"31,5", 31},     {"40", 40},       {"50", 50},       {"63", 63},
    {"80", 80},     {"100", 100},     {"125", 125},     {"160", 160},     {"200", 200},
    {"250", 250},   {"315", 315},     {"400", 400},     {"500", 500},     {"630", 630},
    {"800", 800},   {"1000", 1000},   {"1250", 1250},   {"1600", 1600},   {"2000", 2000},
    {"2500", 2500}, {"3150", 3150},   {"4000", 4000},   {"5000", 5000},   {"6300", 6300},
    {"8000", 8000}, {"10000", 10000}, {"12500", 12500}, {"16000", 16000}, {"20000", 20000},
};
inline constexpr int32_t FULL_FREQUENCY_ENTRY_COUNT =
    static_cast<int32_t>(sizeof FULL_FREQUENCY_ENTRIES / sizeof FULL_FREQUENCY_ENTRIES[0]);
static_assert(FULL_FREQUENCY_ENTRY_COUNT == 35);
