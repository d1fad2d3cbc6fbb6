#include "tests/shell/variant_expectations.h"

namespace expected {

const char* const TITLE_START = "ZEMBRA V 1.2  (32 Bit)";
const int32_t DEFAULT_FREQUENCY_POSITION = 16;
const bool OPENS_FREE_PAGE = false;

std::vector<std::string> frequencies() {
    return {"25",   "31,5", "40",   "50",   "63",   "80",   "100",   "125",   "160",   "200",
            "250",  "315",  "400",  "500",  "630",  "800",  "1000",  "1250",  "1600",  "2000",
            "2500", "3150", "4000", "5000", "6300", "8000", "10000", "12500", "16000", "20000"};
}

std::vector<int32_t> frequency_values() {
    return {25,   31,   40,   50,   63,   80,   100,   125,   160,   200,
            250,  315,  400,  500,  630,  800,  1000,  1250,  1600,  2000,
            2500, 3150, 4000, 5000, 6300, 8000, 10000, 12500, 16000, 20000};
}

} // namespace expected
