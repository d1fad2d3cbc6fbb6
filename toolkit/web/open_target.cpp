// Opening a web address from a page: a new tab, while the click that asked for it still counts
// as the user's (so that no popup blocker stops it).  Nothing else can be opened from a page.
#include "toolkit/target_scheme.h"
#include "toolkit/toolkit.h"

extern "C" int32_t page_open_address(const char* address); // page_library.js

int32_t shell_open_target(const char* target) {
    if (!target || !target_has_scheme(target)) return 0;
    return page_open_address(target);
}
