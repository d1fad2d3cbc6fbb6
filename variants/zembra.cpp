// The earlier release: the frequency list starts at "25" (30 entries), "1000" by default, and the
// program neither opens a web page nor starts any program.
#include "variants/frequency_entries.h"
#include "variants/variant_profile.h"

namespace {
constexpr int32_t ZEMBRA_FIRST_ENTRY = 5; // "25"
constexpr VariantProfile ZEMBRA_PROFILE = {
    "ZEMBRA",
    ZEMBRA_VERSION,
    FULL_FREQUENCY_ENTRIES + ZEMBRA_FIRST_ENTRY,
    FULL_FREQUENCY_ENTRY_COUNT - ZEMBRA_FIRST_ENTRY,
    16,
    false,
};
static_assert(ZEMBRA_PROFILE.frequency_entry_count == 30);
static_assert(ZEMBRA_PROFILE.frequency_entries[0].hz == 25);
static_assert(ZEMBRA_PROFILE.frequency_entries[16].hz == 1000);
} // namespace

const VariantProfile& variant_profile() {
    return ZEMBRA_PROFILE;
}
