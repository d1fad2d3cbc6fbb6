// The current release: all 35 frequencies, "315" by default, opens the free-products page.
#include "variants/frequency_entries.h"
#include "variants/variant_profile.h"

namespace {
constexpr VariantProfile VARNOK_PROFILE = {
    "VARNOK", VARNOK_VERSION, FULL_FREQUENCY_ENTRIES, FULL_FREQUENCY_ENTRY_COUNT, 16, true,
};
static_assert(VARNOK_PROFILE.frequency_entries[16].hz == 315);
} // namespace

const VariantProfile& variant_profile() {
    return VARNOK_PROFILE;
}
