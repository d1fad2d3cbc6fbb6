// What the shell must show and pass in the variant a test is linked with, written out by hand
// so that the test does not read the profile it checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace expected {

// The title up to the gap before the host name.
extern const char* const TITLE_START;
// The FREQUENCY list's default entry.
extern const int32_t DEFAULT_FREQUENCY_POSITION;
// Whether "ABOUT" hands the free-products page to the system.
extern const bool OPENS_FREE_PAGE;

std::vector<std::string> frequencies();
std::vector<int32_t> frequency_values();
// "OFF", then the frequencies; 0, then their values.
inline std::vector<std::string> sweeps() {
    std::vector<std::string> entries = frequencies();
    entries.insert(entries.begin(), "OFF");
    return entries;
}
inline std::vector<int32_t> sweep_values() {
    std::vector<int32_t> values = frequency_values();
    values.insert(values.begin(), 0);
    return values;
}

} // namespace expected
