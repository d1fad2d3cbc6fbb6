// The build-time record that makes one source tree yield the two programs.  Each program links
// exactly one definition of variant_profile(); the shell and the toolkit's start-up read every
// variant-dependent value from it and from nowhere else.
#pragma once

#include <cstdint>

// One entry of the frequency list: the text the list shows and the whole Hz it stands for
// (the whole-number part of the text: "12.5" is 12, "31,5" is 31).  The value sits beside the
// text so that no text is ever parsed.
struct FrequencyEntry {
    const char* text;
    int32_t hz;
};

struct VariantProfile {
    const char* product_name;
    const char* version_text;
    const FrequencyEntry* frequency_entries; // in list order
    int32_t frequency_entry_count;
    int32_t frequency_default_position;
    bool opens_free_page;
};

// The profile of the program being built.
const VariantProfile& variant_profile();
